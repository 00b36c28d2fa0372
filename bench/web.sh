#!/usr/bin/env bash
# The page's speed: the 100 MB valid report checked by the page in headless Chromium (the
# checker built to WebAssembly, in its worker) and by the native release program, in
# interleaved rounds on the same machine. Prints one Markdown table (bench/RESULTS.md).
#   bench/web.sh [ROUNDS]     (default 5; needs what .ci/web.sh installs)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
data=${BENCH_DATA:-build/bench-data}

nice tools/pgo-build >/dev/null
cmake --preset web >/dev/null
nice cmake --build --preset web -j2 --target ld952_page >/dev/null
mkdir -p "$data"
[ -s "$data/valid-100.xml" ] || build/release/bench/genkuf valid 100e6 1 >"$data/valid-100.xml"
/usr/bin/python3 bench/web.py build/web/kontrola-kuf.html build/release/driver/ld952 \
  "$data/valid-100.xml" "$rounds"
