#!/usr/bin/env bash
# Fuzzes the whole checker for SECONDS seconds (default 60): builds the fuzz preset (clang,
# libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer), seeds it with the input documents
# of the golden cases, the examples, the kept corpus and the regression inputs, and leaves
# what it finds in build/fuzz/crashes/. The corpus it grows stays in build/fuzz/corpus.
# TARGET=api fuzzes the C interface instead (names, list mode and options from the bytes),
# seeded with fuzz/corpus-api; its corpus grows in build/fuzz/corpus-api.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=${JOBS:-1}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null

seeds=build/fuzz/seeds
rm -rf "$seeds" && mkdir -p "$seeds" build/fuzz/corpus build/fuzz/crashes
# Each input document of a golden case, behind a switch byte of 0 (HTML, no copy, one input).
awk -v dir="$seeds" '
  /^-- file .* --$/ { if (out) close(out); out = ""
                      if ($3 !~ /\.txt$/) { out = dir "/" (++n) ".seed"; printf "%c", 0 > out }
                      next }
  /^-- .* --$/ { if (out) close(out); out = ""; next }
  out != "" { print > out }' tests/golden/*/*.case
for f in examples/*.xml; do
  { printf '\x08'; cat "$f"; } >"$seeds/$(basename "$f").seed"
done

if [ "${TARGET:-checker}" = api ]; then
  mkdir -p build/fuzz/corpus-api
  exec build/fuzz/fuzz/fuzz_api -max_total_time="$seconds" -max_len=65536 -timeout=20 \
    -rss_limit_mb=2048 -print_final_stats=1 -dict=build/fuzz/gen/kuf.dict \
    -artifact_prefix=build/fuzz/crashes/ build/fuzz/corpus-api fuzz/corpus-api tests/regression
fi

parallel=()
[ "$jobs" -gt 1 ] && parallel=(-jobs="$jobs" -workers="$jobs")
exec build/fuzz/fuzz/fuzz_checker -max_total_time="$seconds" "${parallel[@]}" \
  -max_len=65536 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
  -dict=build/fuzz/gen/kuf.dict -artifact_prefix=build/fuzz/crashes/ \
  build/fuzz/corpus "$seeds" fuzz/corpus tests/regression
