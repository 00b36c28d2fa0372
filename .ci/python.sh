#!/usr/bin/env bash
# CI: the Python module as an analyst installs it. With Debian's Python (/usr/bin/python3; the
# python3 first on the PATH may be another one, without Debian's packages), installs what is
# missing of python3-venv, python3-setuptools, python3-wheel and python3-pytest; then in a
# virtual environment that sees those packages, `pip install --no-build-isolation ./python`,
# which builds the shared library from this source tree into the package, offline; runs
# python/tests on the installed module, from outside the source tree, and the README's example;
# and checks that the module loads the library it holds.
#   .ci/python.sh      (LD952_CMAKE_BUILD=build/release takes that build's library instead)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
python=/usr/bin/python3

fail() {
  echo "python: $*" >&2
  exit 1
}

need=()
for package in python3-venv python3-setuptools python3-wheel python3-pytest; do
  dpkg -s "$package" >/dev/null 2>&1 || need+=("$package")
done
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

if [ -n "${LD952_CMAKE_BUILD:-}" ]; then
  LD952_CMAKE_BUILD="$(realpath "$LD952_CMAKE_BUILD")"
  export LD952_CMAKE_BUILD
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$python" -m venv --system-site-packages "$work/venv"
rm -rf "$root/python/build" # the library is built anew, as on a fresh clone
"$work/venv/bin/pip" install --quiet --no-index --no-build-isolation "$root/python" >"$work/pip.log" 2>&1 ||
  fail "pip install ./python failed:"$'\n'"$(cat "$work/pip.log")"

cd "$work"
"$work/venv/bin/python" -m pytest -q -p no:cacheprovider "$root/python/tests" ||
  fail "the tests of the installed module failed"
loaded="$("$work/venv/bin/python" -c 'import ld952; print(ld952.library_path)')"
site="$("$work/venv/bin/python" -c 'import sysconfig; print(sysconfig.get_paths()["platlib"])')"
[ "$loaded" = "$site/ld952/libld952.so.0" ] || fail "the installed module loads $loaded, not its own library"

# The README's example, as it stands there, on a copy of the sample with mistakes: one line per
# row of the protocol it writes.
awk '$0 == "<!-- recipe: python -->" { found = 1; next }
     found && /^```/ { if (inside) exit; inside = 1; next }
     found && inside { print }' "$root/README.md" >example.py
[ -s example.py ] || fail "README.md has no block marked recipe: python"
cp "$root/examples/kuf-chyby.xml" vykaz.xml
"$work/venv/bin/python" example.py >example.txt || fail "the README's Python example failed"
rows="$(grep -c '^[0-9 ][^;]*;[EW]' protokol.csv)" || fail "the README's Python example wrote no protocol"
[ "$(sed -n 1p example.txt)" = "16 4" ] && [ "$(($(wc -l <example.txt) - 1))" -eq "$rows" ] ||
  fail "the README's Python example printed:"$'\n'"$(cat example.txt)"
echo "python: pip installed the module with its library; its tests and the README's example pass"
