#!/usr/bin/env bash
# The benchmark: builds the release program (profile-guided, tools/pgo-build), makes valid
# reports of 10 MB, 100 MB and 1 GB, one that yields about a million findings and 1000 small
# ones for list mode, and times the checker side by side with general XML tools on the same
# files (median of several interleaved runs, files in the page cache). Prints one Markdown
# table; bench/RESULTS.md holds its output for this machine.
#   bench/run.sh [SIZE_MB...]     (default: 10 100 1000)
# Needs python3, xmllint (libxml2-utils) and SAX2Count (libxerces-c-samples).
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=("${@:-10 100 1000}")
read -r -a sizes <<<"${sizes[*]}"
runs=${RUNS:-7}
data=${BENCH_DATA:-build/bench-data}

tools/pgo-build >/dev/null # the release program, laid out by a profile of its own run
bin=build/release/driver/ld952
gen=build/release/bench/genkuf
mkdir -p "$data"

for mb in "${sizes[@]}"; do
  [ -s "$data/valid-$mb.xml" ] || "$gen" valid "${mb}e6" 1 >"$data/valid-$mb.xml"
done
[ -s "$data/faulty.xml" ] || "$gen" faulty 170e6 2 >"$data/faulty.xml"
if [ ! -s "$data/list.txt" ]; then
  mkdir -p "$data/small"
  for i in $(seq 1 1000); do "$gen" valid 100e3 "$((100 + i))" >"$data/small/$i.xml"; done
  ls "$data"/small/*.xml >"$data/list.txt"
  cat "$data"/small/*.xml >"$data/small-all.xml.tmp" && mv "$data/small-all.xml.tmp" "$data/small.cat"
fi
out=$(mktemp -d /tmp/kufbenchXXXXXX) # no full stop: the protocol format is read from the first one
trap 'rm -rf "$out"' EXIT

python3 bench/measure.py "$data" "$bin" "$out" "$runs" "${sizes[@]}"
