#!/usr/bin/env bash
# CI: what README.md tells a user to type works as written. Takes the blocks marked
# "<!-- recipe: NAME -->" out of the README, runs the two recipes for a folder of reports, under
# sh and under bash, on a folder whose path and report names hold blanks, full stops, Czech
# letters (UTF-8) and a leading "-" or "@", and checks what they leave; compiles the C example,
# links it as the README says with the build's libld952.a and runs it, and again against the
# files that `cmake --install` puts into a temporary folder, through pkg-config and through
# find_package(ld952), with the shared and the static library; and checks that the manual
# page's copies of the recipes are the README's, character for character.
#   .ci/recipes.sh [BUILD_DIR]     (default build/release, after its build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/release}" && pwd)"
readme="$root/README.md"
page="$root/doc/ld952.1"

fail() {
  echo "recipes: $*" >&2
  exit 1
}

# The lines of the fenced block after "<!-- recipe: NAME -->" in the README.
recipe() {
  awk -v mark="<!-- recipe: $1 -->" '
    $0 == mark { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    found && inside { print }' "$readme"
}

# The lines between .nf and .fi after ".\" recipe: NAME" in the manual page, unescaped.
page_recipe() {
  awk -v mark=".\\\\\" recipe: $1" '
    $0 == mark { found = 1; next }
    found && $0 == ".nf" { inside = 1; next }
    found && inside && $0 == ".fi" { exit }
    found && inside { print }' "$page" |
    sed -e 's/\\(aq/'"'"'/g' -e 's/\\(dq/"/g' -e 's/\\-/-/g' -e 's/\\&//g' -e 's/\\e/\\/g'
}

program="$build/driver/ld952"
library="$build/driver/libld952.a"
shared="$build/lib/libld952.so"
[ -x "$program" ] || fail "no program $program; build first"
[ -f "$library" ] && [ -f "$shared" ] || fail "no library $library or $shared; build first"
for name in list each c; do
  [ -n "$(recipe "$name")" ] || fail "README.md has no block marked recipe: $name"
done
for name in list each; do
  [ "$(page_recipe "$name")" = "$(recipe "$name")" ] ||
    fail "the manual page's recipe $name differs from the README's:"$'\n'"$(diff <(recipe "$name") <(page_recipe "$name"))"
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$program" "$work/bin/ld952"
export PATH="$work/bin:$PATH"
# mktemp in the recipes makes its folder here: a blank and a full stop in that path too.
export TMPDIR="$work/tmp dir.d"
mkdir "$TMPDIR"

# The folder of reports: its path is longer than 60 bytes. Each report is a copy of a sample.
kuf="$work/Mzdové výkazy/pololetí 1.2008/odevzdané ke kontrole"
mkdir -p "$kuf"
fits="$(printf 'x%.0s' {1..47}).xml"     # 51 bytes: protokol-NAME.txt is 60 bytes
too_long="$(printf 'y%.0s' {1..48}).xml" # 52 bytes
czech_long="Základní škola a mateřská škola Lhota pod Lesem 2008.xml"
declare -A sample=(
  ["kuf.xml"]=kuf
  ["firma.2008.xml"]=kuf-chyby
  ["mzdy červen 2008.xml"]=kuf
  ["-Škola a školka.v2.xml"]=kuf-chyby
  ["@zavináč.xml"]=kuf
  ["$fits"]=kuf-chyby
  ["$too_long"]=kuf
  ["$czech_long"]=kuf-chyby
)
for name in "${!sample[@]}"; do
  cp "$root/examples/${sample[$name]}.xml" "$kuf/$name"
done
echo "keep" >"$kuf/poznámky.txt"
before="$(ls -A "$kuf")"

# Each sample checked plainly: its text protocol without the header line, to compare with.
for s in kuf kuf-chyby; do
  (cd "$work" && cp "$root/examples/$s.xml" "ref-$s.xml" && ld952 "ref-$s.xml" "ref-$s.txt" >/dev/null) ||
    fail "ld952 cannot check examples/$s.xml"
  tail -n +2 "$work/ref-$s.txt" >"$work/ref-$s.rows"
done

# Writes the recipe NAME with the README's folder replaced by the test folder.
script() {
  local text
  text="$(recipe "$1")"
  [ "$(head -n 1 <<<"$text" | cut -d' ' -f1)" = kuf=/data/kuf ] ||
    fail "the recipe $1 does not begin with kuf=/data/kuf"
  printf "kuf='%s'\n" "$kuf"
  tail -n +2 <<<"$text"
}

# Runs recipe $1 under shell $2 in a folder of its own, $run, and checks what it printed ($3).
run_recipe() {
  run="$work/$1-$2"
  mkdir "$run"
  script "$1" >"$run/recipe.sh"
  (cd "$run" && "$2" recipe.sh >out.txt 2>err.txt) || fail "$1 recipe under $2 failed"
  [ "$(cat "$run/out.txt")" = "$3" ] ||
    fail "$1 recipe under $2 said: $(cat "$run/out.txt" "$run/err.txt")"
}

for shell in sh bash; do
  # List mode: one CSV protocol of every report, in the order of dnes-seznam.txt.
  run_recipe list "$shell" "ld952: exit code 0"
  [ ! -s "$run/err.txt" ] || fail "list recipe under $shell wrote: $(cat "$run/err.txt")"
  [ -z "$(ls -A "$TMPDIR")" ] || fail "list recipe under $shell left $(ls -A "$TMPDIR")"
  [ "$(ls -A "$kuf")" = "$before" ] || fail "list recipe under $shell changed the folder"
  [ "$(cut -f3 "$run/dnes-seznam.txt" | sort)" = "$(printf "$kuf/%s\n" "${!sample[@]}" | sort)" ] ||
    fail "dnes-seznam.txt under $shell does not name every report once"
  ref="$run/ref"
  mkdir "$ref"
  n=0 line=1
  while IFS=$'\t' read -r link first path; do
    n=$((n + 1))
    [ "$link" = "$n.xml" ] && [ "$first" = "$line" ] ||
      fail "dnes-seznam.txt under $shell: line $n is $link $first, not $n.xml $line"
    cp "$path" "$ref/$n.xml"
    echo "$n.xml" >>"$ref/list.txt"
    line=$((line + $(wc -l <"$path")))
  done <"$run/dnes-seznam.txt"
  (cd "$ref" && ld952 @list.txt ref.csv >/dev/null) || fail "ld952 cannot check the copies in list mode"
  cmp -s "$ref/ref.csv" "$run/dnes-protokol.csv" ||
    fail "the list recipe's protocol under $shell is not that of all reports: $run/dnes-protokol.csv"
  head -n 1 "$run/dnes-protokol.csv" | grep -q '^Radek;Chyba;' || fail "dnes-protokol.csv is not CSV"
  tail -n 1 "$run/dnes-protokol.csv" | grep -q '^Celkem chyb vahy W:;' ||
    fail "dnes-protokol.csv has no totals"

  # One run per report: a text protocol beside each report whose name fits, and the others
  # named as not checked.
  run_recipe each "$shell" "xargs: exit code 123"
  [ "$(sort "$run/err.txt")" = "$(printf 'not checked: %s\n' "$too_long" "$czech_long" | sort)" ] ||
    fail "each recipe under $shell named as not checked: $(cat "$run/err.txt")"
  expected="$before"
  for name in "${!sample[@]}"; do
    [ "$name" = "$too_long" ] || [ "$name" = "$czech_long" ] && continue
    protocol="$kuf/protokol-$(printf %s "${name%.xml}" | tr . _).txt"
    [ -f "$protocol" ] || fail "each recipe under $shell wrote no $protocol"
    head -n 1 "$protocol" | grep -qF "Soubor:   ./$name " ||
      fail "$protocol under $shell is not a text protocol of $name"
    tail -n +2 "$protocol" | cmp -s - "$work/ref-${sample[$name]}.rows" ||
      fail "$protocol under $shell differs from the protocol of ${sample[$name]}.xml"
    expected+=$'\n'"${protocol##*/}"
  done
  [ "$(ls -A "$kuf" | sort)" = "$(sort <<<"$expected")" ] ||
    fail "each recipe under $shell left in the folder:"$'\n'"$(ls -A "$kuf")"
  rm "$kuf"/protokol-*.txt
done
echo "recipes: list mode and one run per report, under sh and bash, on ${#sample[@]} reports"

# The C example, with a main that hands it a report from a file: 0 without errors, 1 with, 2
# when the window was closed (a second argument) before the check began.
recipe c >"$work/example.c"
cat >>"$work/example.c" <<'EOF'

int main(int argc, char **argv) {
  FILE *f = argc >= 2 ? fopen(argv[1], "rb") : NULL;
  if (f == NULL)
    return 3;
  window_closed = argc == 3;
  int code = check_export(f);
  fclose(f);
  return code;
}
EOF
# Runs the example, the command $2..., on both samples; $1 says how it was built.
run_example() {
  local how="$1" status
  shift
  status=0
  "$@" "$root/examples/kuf.xml" >"$work/c-kuf.txt" || status=$?
  [ "$status" -eq 0 ] && [ ! -s "$work/c-kuf.txt" ] || fail "the C example ($how) on kuf.xml: $status"
  status=0
  "$@" "$root/examples/kuf-chyby.xml" >"$work/c-chyby.txt" || status=$?
  [ "$status" -eq 1 ] || fail "the C example ($how) on kuf-chyby.xml returned $status, not 1"
  [ "$(wc -l <"$work/c-chyby.txt")" -eq "$(($(wc -l <"$work/ref-kuf-chyby.rows") - 6))" ] ||
    fail "the C example ($how) on kuf-chyby.xml showed not one line per row of the protocol"
  status=0
  "$@" "$root/examples/kuf-chyby.xml" closed >"$work/c-closed.txt" || status=$?
  [ "$status" -eq 2 ] && [ ! -s "$work/c-closed.txt" ] ||
    fail "the C example ($how) with its window closed returned $status, not 2"
}
cflags=(-std=c11 -Wall -Wextra -Werror)
cc "${cflags[@]}" -I"$root/include" "$work/example.c" -o "$work/example" \
  -L"$build/driver" -lld952 -lstdc++ -lm || fail "the C example does not build as the README says"
run_example "libld952.a of the build" "$work/example"
echo "recipes: the C example builds, links and returns 0, 1 and 2"

# The same against the installed files, not the build tree: through pkg-config, with the shared
# library and with the static one, and through the CMake package, with each of its targets.
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install $build failed"
pc="$(find "$prefix" -name ld952.pc)"
[ -n "$pc" ] || fail "cmake --install put no ld952.pc under $prefix"
export PKG_CONFIG_LIBDIR="${pc%/*}" PKG_CONFIG_PATH=
libdir="$(pkg-config --variable=libdir ld952)"
[ "$libdir" = "$prefix/lib" ] || fail "ld952.pc says its libdir is $libdir, not $prefix/lib"
# The libld952 that a program loads, as the dynamic loader finds it: "NAME PATH".
loads() {
  env "${@:2}" ldd "$1" | awk '$1 ~ /^libld952/ { print $1, $3 }'
}
# shellcheck disable=SC2046
cc "${cflags[@]}" "$work/example.c" $(pkg-config --cflags --libs ld952) -o "$work/example-pc" ||
  fail "the C example does not build with pkg-config --cflags --libs ld952"
[ "$(loads "$work/example-pc" LD_LIBRARY_PATH="$libdir")" = "libld952.so.0 $libdir/libld952.so.0" ] ||
  fail "the example built with pkg-config does not load $libdir/libld952.so.0"
run_example "pkg-config, shared" env LD_LIBRARY_PATH="$libdir" "$work/example-pc"
# shellcheck disable=SC2046
cc "${cflags[@]}" "$work/example.c" $(pkg-config --cflags --libs-only-L ld952) -l:libld952.a \
  -lstdc++ -lm -o "$work/example-pc-static" || fail "the C example does not build with -l:libld952.a"
[ -z "$(loads "$work/example-pc-static")" ] || fail "the static example loads the shared library"
run_example "pkg-config, static" "$work/example-pc-static"

mkdir "$work/cmake-example"
cp "$work/example.c" "$work/cmake-example/"
cat >"$work/cmake-example/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.16)
project(payroll C)
set(CMAKE_C_STANDARD 11)
find_package(ld952 0.92 REQUIRED)
add_executable(payroll example.c)
target_link_libraries(payroll PRIVATE ld952::ld952)
add_executable(payroll-static example.c)
target_link_libraries(payroll-static PRIVATE ld952::static)
EOF
(cmake -S "$work/cmake-example" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" && cmake --build "$work/cmake-build") >"$work/cmake.log" 2>&1 ||
  fail "the C example does not build with find_package(ld952):"$'\n'"$(cat "$work/cmake.log")"
[ "$(loads "$work/cmake-build/payroll")" = "libld952.so.0 $libdir/libld952.so.0" ] ||
  fail "the example built with ld952::ld952 does not load $libdir/libld952.so.0"
[ -z "$(loads "$work/cmake-build/payroll-static")" ] || fail "ld952::static loads the shared library"
run_example "ld952::ld952" "$work/cmake-build/payroll"
run_example "ld952::static" "$work/cmake-build/payroll-static"
echo "recipes: the C example builds against the installed files with pkg-config and find_package"
