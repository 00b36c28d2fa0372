#!/usr/bin/env bash
# Fuzzes the service through its socket for SECONDS seconds (default 60) in JOBS processes
# (default 1): builds fuzz_server in the fuzz preset (clang, libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer), seeds it with server/fuzz/corpus and the service's regression
# inputs, and leaves what it finds in build/fuzz/crashes-server/. The corpus it grows stays in
# build/fuzz/corpus-server.
#   server/fuzz/run.sh [SECONDS] [JOBS]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
jobs=${2:-1}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target fuzz_server >/dev/null
mkdir -p build/fuzz/corpus-server build/fuzz/crashes-server
parallel=()
[ "$jobs" -gt 1 ] && parallel=(-jobs="$jobs" -workers="$jobs")
cd build/fuzz # the logs of parallel jobs (fuzz-N.log) are left here
exec ./server/fuzz_server -max_total_time="$seconds" "${parallel[@]}" -max_len=16384 \
  -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 -dict=../../server/fuzz/http.dict \
  -artifact_prefix=crashes-server/ corpus-server ../../server/fuzz/corpus \
  ../../server/tests/regression
