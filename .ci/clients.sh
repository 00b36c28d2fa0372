#!/usr/bin/env bash
# The protocols as their readers see them: the XML protocols against schemas/protokol.xsd
# (xmllint), the CSV protocols through Python's csv module, and the HTML protocol rendered by
# headless Chromium. Builds and installs nothing: give the built program as the first argument.
#   .ci/clients.sh [build/dev/driver/ld952]
set -uo pipefail
binary=$(realpath -m -- "${1:-$(dirname "$0")/../build/dev/driver/ld952}")
cd "$(dirname "$0")/.."
if [ ! -x "$binary" ]; then
  echo "FAIL clients: no program at $binary (build it first)"
  exit 1
fi
failed=0
for tool in python3 xmllint chromium; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL clients: $tool is not installed"
    failed=1
  fi
done
[ $failed = 0 ] || exit 1
for check in xml_schema csv_reader browser; do
  echo "== $check"
  if ! python3 "tests/clients/$check.py" "$binary"; then
    echo "FAIL clients: $check"
    failed=1
  fi
done
exit $failed
