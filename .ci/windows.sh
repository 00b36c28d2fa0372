#!/usr/bin/env bash
# The Windows program: cross-compiled with MinGW-w64 (static, no DLL beside it), then every
# golden case, and the cases of Windows file names, run by it under Wine; each protocol,
# console and exit code must be the bytes of the Linux build's. Needs the dev build's
# golden_runner (argument 1, default build/dev/tests/golden_runner).
set -euo pipefail
cd "$(dirname "$0")/.."
runner=$(realpath "${1:-build/dev/tests/golden_runner}")

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64)
command -v wine >/dev/null || need+=(wine wine64)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

cmake --preset windows >/dev/null && cmake --build --preset windows -j2
exe=build/windows/driver/ld952.exe
if x86_64-w64-mingw32-objdump -p "$exe" | grep -i "DLL Name" | grep -viE "kernel32|msvcrt"; then
  echo "ld952.exe needs a DLL beyond the system's" >&2
  exit 1
fi

export WINEDEBUG=-all WINEPREFIX="$PWD/build/windows/wine"
# A prefix made and a server kept running before the first case, so that no case meets Wine
# while it is still starting.
wineboot --init >/dev/null 2>&1 || true
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
"$runner" --program wine "$exe" -- tests/golden tests/golden-windows tests/regression

# A drive letter and backslashes, as a Windows user types a full path, from another folder:
# the protocol is the Linux build's.
dir=$(mktemp -d /tmp/ld952-winXXXXXX) # no full stop: the protocol format is read from the first
trap 'wineserver -k 2>/dev/null || true; rm -rf "$dir"' EXIT
cp examples/kuf-chyby.xml "$dir/"
win="Z:${dir//\//\\}"
(cd / && wine "$OLDPWD/$exe" "$win\\kuf-chyby.xml" "$win\\PROTOKOL.CSV" >/dev/null)
"$(dirname "$runner")/../driver/ld952" "$dir/kuf-chyby.xml" "$dir/linux.csv" >/dev/null
cmp "$dir/PROTOKOL.CSV" "$dir/linux.csv"
echo "a full Windows path with a drive letter: the same protocol"

# The "\\?\" form of a full path names the same files: a protocol that is the input so named is
# refused and the input kept; a new protocol so named and an output copy of the same name in
# other letters: the copy is refused and nothing is left behind.
cp examples/kuf-chyby.xml "$dir/vstup.xml"
for args in "$win\\vstup.xml|\\\\?\\$win\\vstup.xml|" "$win\\vstup.xml|\\\\?\\$win\\p.csv|$win\\P.CSV"; do
  IFS='|' read -r vstup chyby vystup <<<"$args"
  code=0
  (cd / && wine "$OLDPWD/$exe" "$vstup" "$chyby" ${vystup:+"$vystup"} >"$dir/konzole") || code=$?
  refused=${vystup:-$chyby}
  printf '\nProgram  LD952_v0.91  kontola dat pro KUF\n Nelze otevrit soubor  %s\n Program ukoncen\n' \
    "$refused" | cmp - "$dir/konzole"
  if [ "$code" != 13 ] || ! cmp -s examples/kuf-chyby.xml "$dir/vstup.xml" || [ -e "$dir/p.csv" ]; then
    echo "not refused, or a file changed or left behind: $chyby $vystup" >&2
    exit 1
  fi
  echo "refused in the \\\\?\\ form: $refused"
done
rm "$dir/konzole" "$dir/vstup.xml"

# The zip for Windows users: the program and what it needs to be read, at its top.
(cd build/windows && rm -f ld952-*.zip && cpack -G ZIP >/dev/null)
python3 - build/windows/ld952-*-win64.zip <<'PY'
import sys, zipfile
names = set(zipfile.ZipFile(sys.argv[1]).namelist())
want = {"ld952.exe", "CTIMNE.txt", "README.md", "kuf.xml", "kuf-chyby.xml", "kuf.xsd", "protokol.xsd"}
if names != want:
    sys.exit(f"the Windows zip holds {sorted(names)}, not {sorted(want)}")
print(f"{sys.argv[1]}: {len(names)} files")
PY
