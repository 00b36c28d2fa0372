#!/usr/bin/env bash
# Line coverage of the checker by the whole test suite (golden cases, unit tests, the fuzz
# corpus replay), and the catalogue codes that no test run reported. Writes
# build/coverage/coverage.txt and prints its summary.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset coverage >/dev/null
cmake --build --preset coverage -j2 >/dev/null
find build/coverage -name '*.gcda' -delete
rm -f build/coverage/census.txt
KUF_CENSUS="$PWD/build/coverage/census.txt" ctest --preset coverage >/dev/null
python3 tools/coverage.py build/coverage > build/coverage/coverage.txt
sed -n '/^Lines/,/^$/p;/^Codes/,$p' build/coverage/coverage.txt | grep -v '^    '
