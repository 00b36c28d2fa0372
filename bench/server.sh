#!/usr/bin/env bash
# The benchmark of ld952-server: builds the release programs (tools/pgo-build), makes valid
# reports of 10 kB, 1 MB, 100 MB and 1 GB, and times the service under wrk against the command
# line over xargs -P on the same reports, SECONDS per run (default 60); then its memory with 8
# checks of 1 GB reports at once. Prints Markdown; bench/RESULTS.md holds its output for this
# machine. Needs wrk and curl.
#   bench/server.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
command -v wrk >/dev/null || { echo "bench/server.sh needs wrk (apt-get install wrk)" >&2; exit 1; }
tools/pgo-build >/dev/null
data=${BENCH_DATA:-build/bench-data}
mkdir -p "$data"
exec /usr/bin/python3 bench/server.py "$data" build/release/driver/ld952 \
  build/release/server/ld952-server build/release/bench/genkuf "${1:-60}"
