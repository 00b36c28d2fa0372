#!/usr/bin/env bash
# The benchmark: builds a release binary, makes valid reports of 10 MB, 100 MB and 1 GB, one
# that yields about a million findings and 1000 small ones for list mode, and times the checker
# side by side with general XML tools on the same files (median of several runs, files in the
# page cache). Prints one Markdown table; bench/RESULTS.md holds its output for this machine.
#   bench/run.sh [SIZE_MB...]     (default: 10 100 1000)
# Needs hyperfine, xmllint (libxml2-utils) and SAX2Count (libxerces-c-samples).
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=("${@:-10 100 1000}")
read -r -a sizes <<<"${sizes[*]}"
runs=${RUNS:-5}
data=${BENCH_DATA:-build/bench-data}

cmake --preset release >/dev/null
cmake --build --preset release -j2 >/dev/null
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
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# median seconds of a command
median() {
  hyperfine --style none --warmup 1 --runs "$runs" --export-json "$out/h.json" -- "$1" >/dev/null 2>&1 \
    || { echo "failed: $1" >&2; exit 1; }
  python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["median"])' "$out/h.json"
}
# peak resident memory in MB
peak() { /usr/bin/time -f %M sh -c "$1" 2>&1 >/dev/null | tail -1 | awk '{printf "%.1f", $1/1024}'; }

printf '| report | tool | median s | MB/s | vs schema | peak MB |\n|---|---|---:|---:|---:|---:|\n'
row() { # report bytes tool command schema_seconds
  local s mbs
  s=$(median "$4")
  mbs=$(python3 -c "print(f'{$2/1e6/$s:.0f}')")
  printf '| %s | %s | %.3f | %s | %s | %s |\n' "$1" "$3" "$s" "$mbs" \
    "$(python3 -c "print(f'{$s/$5:.3f}')" 2>/dev/null || echo -)" "$(peak "$4")"
  last=$s
}
for mb in "${sizes[@]}"; do
  f="$data/valid-$mb.xml"
  bytes=$(stat -c %s "$f")
  schema=$(median "xmllint --noout --stream --schema schemas/kuf.xsd $f")
  row "valid $mb MB" "$bytes" "cat" "cat $f" "$schema"
  row "valid $mb MB" "$bytes" "xmllint --stream" "xmllint --noout --stream $f" "$schema"
  row "valid $mb MB" "$bytes" "SAX2Count" "SAX2Count $f" "$schema"
  row "valid $mb MB" "$bytes" "xmllint --stream --schema" "xmllint --noout --stream --schema schemas/kuf.xsd $f" "$schema"
  row "valid $mb MB" "$bytes" "ld952 (text protocol)" "$bin $f $out/p.txt" "$schema"
  row "valid $mb MB" "$bytes" "ld952 (text protocol, output copy)" "$bin $f $out/p.txt $out/copy.xml" "$schema"
done
f="$data/faulty.xml"
for ext in txt csv htm xml; do
  "$bin" "$f" "$out/p.$ext" >/dev/null
  pbytes=$(stat -c %s "$out/p.$ext")
  rows=$(grep -c -a -E '^( *[0-9]+  |[0-9]+;|<tr>|<Chyba>)' "$out/p.$ext" || true)
  row "million findings ($rows rows, MB/s of protocol)" "$pbytes" "ld952 .$ext" "$bin $f $out/p.$ext" 1
done
all=$(stat -c %s "$data/small.cat")
row "1000 reports of 100 kB" "$all" "ld952 @list" "$bin @$data/list.txt $out/p.txt" 1
row "the same in one file" "$all" "ld952" "$bin $data/small.cat $out/p.txt" 1
