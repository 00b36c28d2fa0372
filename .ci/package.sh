#!/usr/bin/env bash
# CI: the Debian packages of a release build: ld952 (the program and the checking service),
# libld952-0 (the shared library) and libld952-dev (what programs build with). Makes them with
# cpack and checks what each holds and depends on; installs the program alone, runs it on the
# installed sample and the installed service on it over HTTP, finds the manual pages, the
# copyright file and every file that the installed README links to; then installs the
# library's two packages too and builds and runs a program against them through pkg-config and
# through find_package; removes all three again, and checks the manual pages for formatting
# warnings. Runs as root (dpkg).
#   .ci/package.sh [BUILD_DIR]     (default build/release, after its build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/release}" && pwd)"

fail() {
  echo "package: $*" >&2
  exit 1
}

# The manual pages: no warning from groff, on every device that they are read on.
for page in "$root/doc/ld952.1" "$root/doc/ld952-server.1"; do
  for device in ps utf8 ascii; do
    [ "$device" = ps ] && [ ! -d /usr/share/groff/current/font/devps ] && continue
    warnings="$(groff -ww -z -T"$device" -man "$page" 2>&1)" || fail "groff -T$device failed on $page"
    [ -z "$warnings" ] || fail "groff -T$device warns on $page:"$'\n'"$warnings"
  done
  warnings="$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)" ||
    fail "man cannot format $page"
  [ -z "$warnings" ] || fail "man warns on $page:"$'\n'"$warnings"
done

# The packages.
[ -f "$build/CPackConfig.cmake" ] || fail "$build is not a configured build folder"
packages=(ld952 libld952-0 libld952-dev)
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack -G DEB failed in $build"
declare -A deb
for name in "${packages[@]}"; do
  found=("$build/${name}_"*.deb)
  [ ${#found[@]} -eq 1 ] && [ -f "${found[0]}" ] || fail "cpack made no single ${name}_*.deb in $build"
  deb[$name]="${found[0]}"
  echo "package: ${deb[$name]}"
  [ "$(dpkg-deb -f "${deb[$name]}" Package)" = "$name" ] || fail "${deb[$name]} is not the package $name"
done
[ "$(ls "$build"/*.deb | wc -l)" -eq ${#packages[@]} ] || fail "cpack made other packages: $(ls "$build"/*.deb)"

# What each holds: "PACKAGE PATH", where "PATH -> TARGET" is a symbolic link.
holds=(
  "ld952 ./usr/bin/ld952" "ld952 ./usr/share/man/man1/ld952.1.gz"
  "ld952 ./usr/share/doc/ld952/README.md" "ld952 ./usr/share/doc/ld952/copyright"
  "ld952 ./usr/share/doc/ld952/docs/protokol.png" "ld952 ./usr/share/doc/ld952/examples/kuf.xml"
  "ld952 ./usr/share/doc/ld952/examples/kuf-chyby.xml" "ld952 ./usr/share/ld952/schemas/kuf.xsd"
  "ld952 ./usr/share/ld952/schemas/protokol.xsd"
  "ld952 ./usr/bin/ld952-server" "ld952 ./usr/share/man/man1/ld952-server.1.gz"
  "ld952 ./usr/lib/systemd/system/ld952-server.service"
  "ld952 ./usr/share/doc/ld952/ld952-server.openapi.json"
  "ld952 ./usr/share/doc/ld952/ld952-findings.schema.json"
  "libld952-0 ./usr/lib/libld952.so.0.92" "libld952-0 ./usr/lib/libld952.so.0 -> libld952.so.0.92"
  "libld952-0 ./usr/share/doc/libld952-0/copyright"
  "libld952-dev ./usr/include/ld952.h" "libld952-dev ./usr/lib/libld952.a"
  "libld952-dev ./usr/lib/libld952.so -> libld952.so.0" "libld952-dev ./usr/lib/pkgconfig/ld952.pc"
  "libld952-dev ./usr/lib/cmake/ld952/ld952Config.cmake"
  "libld952-dev ./usr/lib/cmake/ld952/ld952ConfigVersion.cmake"
  "libld952-dev ./usr/lib/cmake/ld952/ld952Targets.cmake"
  "libld952-dev ./usr/share/doc/libld952-dev/copyright"
)
declare -A contents
for name in "${packages[@]}"; do
  contents[$name]="$(dpkg-deb -c "${deb[$name]}" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }')"
done
for entry in "${holds[@]}"; do
  name="${entry%% *}" path="${entry#* }"
  grep -qxF "$path" <<<"${contents[$name]}" || fail "the package $name lacks $path"
done
# Nothing of the library in the program's package, and no program in the library's.
if grep -q 'ld952\.h\|libld952\|/cmake/\|pkgconfig' <<<"${contents[ld952]}"; then
  fail "the package ld952 holds files of the library"
fi
if grep -q '^\./usr/bin/.' <<<"${contents[libld952-0]}"$'\n'"${contents[libld952-dev]}"; then
  fail "a package of the library holds a program"
fi
dpkg-deb --fsys-tarfile "${deb[libld952-dev]}" | tar -xOf - ./usr/lib/pkgconfig/ld952.pc |
  grep -qx 'prefix=/usr' || fail "the packaged ld952.pc does not say prefix=/usr"

# What each depends on: the program nothing, the shared library the C and C++ runtimes alone,
# the development files the shared library of their version.
[ -z "$(dpkg-deb -f "${deb[ld952]}" Depends)" ] || fail "ld952 depends on: $(dpkg-deb -f "${deb[ld952]}" Depends)"
depends="$(dpkg-deb -f "${deb[libld952-0]}" Depends | tr ',' '\n' | sed 's/ *(.*//; s/^ *//' | sort | xargs)"
[ "$depends" = "libc6 libgcc-s1 libstdc++6" ] || fail "libld952-0 depends on: $depends"
[ "$(dpkg-deb -f "${deb[libld952-dev]}" Depends)" = "libld952-0 (= 0.92)" ] ||
  fail "libld952-dev depends on: $(dpkg-deb -f "${deb[libld952-dev]}" Depends)"
shlibs="$(dpkg-deb --ctrl-tarfile "${deb[libld952-0]}" | tar -xOf - ./shlibs)" ||
  fail "libld952-0 has no shlibs file"
[ "$shlibs" = "libld952 0 libld952-0 (>= 0.92)" ] || fail "the shlibs file of libld952-0 says: $shlibs"

# Installed, the packages are removed again however the checks end.
for name in "${packages[@]}"; do
  if dpkg -s "$name" >/dev/null 2>&1; then
    fail "$name is installed already; remove it first (dpkg --purge ${packages[*]})"
  fi
done
work="$(mktemp -d)"
server=""
cleanup() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  dpkg --purge "${packages[@]}" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
# The program alone first: it needs nothing of the library.
dpkg -i "${deb[ld952]}" >/dev/null || fail "dpkg -i ${deb[ld952]} failed"

program=/usr/bin/ld952
[ -x "$program" ] || fail "$program is not installed"
[ "$(command -v ld952)" = "$program" ] || fail "ld952 on the PATH is not $program"
status=0
help="$(ld952 -h)" || status=$?
[ "$status" -eq 1 ] || fail "ld952 -h ended with $status, not 1"
grep -q "Volani programu" <<<"$help" || fail "ld952 -h printed no help text"

cd "$work"
for sample in kuf kuf-chyby; do
  status=0
  ld952 "/usr/share/doc/ld952/examples/$sample.xml" "$sample.htm" >console.txt || status=$?
  [ "$status" -eq 0 ] || fail "ld952 on the installed $sample.xml ended with $status"
  [ -s "$sample.htm" ] || fail "ld952 wrote no protocol $work/$sample.htm"
  grep -q "Program ukoncen normalne" console.txt || fail "ld952 on $sample.xml did not end normally"
  grep -q "</html>" "$sample.htm" || fail "the protocol $sample.htm is not whole"
done
if grep -q "Celkem chyb vahy E:       0" console.txt; then
  fail "the sample with mistakes gave no error"
fi

# The copyright file in Debian's machine-readable format: its header, then a Files paragraph
# with its Copyright and License.
copyright=/usr/share/doc/ld952/copyright
head -n 1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "$copyright does not begin with the Format line of the machine-readable format"
for field in Upstream-Name Files Copyright License; do
  grep -q "^$field: [^ ]" "$copyright" || fail "$copyright has no $field field"
done
# Every picture or file that the installed README links to by a relative name is there.
docdir=/usr/share/doc/ld952
for link in $(grep -o '](\([^):#]*\))' "$docdir/README.md" | sed 's/^](\(.*\))$/\1/'); do
  [ -e "$docdir/$link" ] || fail "the installed README links to $link, which is not installed"
done

manual="$(man -w ld952)" || fail "man -w ld952 finds no manual page"
[ "$manual" = /usr/share/man/man1/ld952.1.gz ] || fail "man -w ld952 gives $manual"

# The library's packages: a program built against them, through pkg-config and through
# find_package, loads /usr/lib/libld952.so.0 (or /lib's, the same file) and checks the
# installed sample.
dpkg -i "${deb[libld952-0]}" "${deb[libld952-dev]}" >/dev/null || fail "dpkg -i of the library's packages failed"
cat >version.c <<'EOF'
#include <ld952.h>
#include <stdio.h>
int main(void) {
  struct ld952_totals t;
  struct ld952_options o = {.input = "/usr/share/doc/ld952/examples/kuf-chyby.xml"};
  int code = ld952_check_file(&o, &t);
  printf("%s %d %lld\n", ld952_version(), code, t.errors);
  return 0;
}
EOF
unset PKG_CONFIG_PATH PKG_CONFIG_LIBDIR
# shellcheck disable=SC2046
cc -std=c11 -Wall -Werror version.c $(pkg-config --cflags --libs ld952) -o version-pc ||
  fail "a program does not build with pkg-config against the installed packages"
printf '%s\n' 'cmake_minimum_required(VERSION 3.16)' 'project(version C)' \
  'find_package(ld952 0.92 REQUIRED)' 'add_executable(version version.c)' \
  'target_link_libraries(version PRIVATE ld952::ld952)' >CMakeLists.txt
(cmake -S . -B cmake-build && cmake --build cmake-build) >cmake.log 2>&1 ||
  fail "a program does not build with find_package(ld952) against the installed packages:"$'\n'"$(cat cmake.log)"
for built in ./version-pc ./cmake-build/version; do
  loaded="$(ldd "$built" | awk '$1 == "libld952.so.0" { print $3 }')"
  [ -n "$loaded" ] && [ "$(realpath "$loaded")" = /usr/lib/libld952.so.0.92 ] ||
    fail "$built does not load /usr/lib/libld952.so.0 but: $loaded"
  said="$("$built")" || fail "$built failed"
  [[ "$said" =~ ^0\.92\ 0\ [1-9][0-9]*$ ]] || fail "$built said: $said"
done

manual="$(man -w ld952-server)" || fail "man -w ld952-server finds no manual page"
[ "$manual" = /usr/share/man/man1/ld952-server.1.gz ] || fail "man -w ld952-server gives $manual"

# The service: the installed program answers a check of the installed sample and stops on
# SIGTERM with exit code 0; its unit is sandboxed and passes systemd's own check.
unit=/usr/lib/systemd/system/ld952-server.service
for setting in DynamicUser=yes ProtectSystem=strict NoNewPrivileges=yes 'MemoryMax=[0-9]'; do
  grep -q "^$setting" "$unit" || fail "$unit lacks $setting"
done
if command -v systemd-analyze >/dev/null; then
  warnings="$(systemd-analyze verify "$unit" 2>&1)" || fail "systemd-analyze verify $unit: $warnings"
  [ -z "$warnings" ] || fail "systemd-analyze warns on $unit:"$'\n'"$warnings"
fi
ld952-server --version | grep -q "^ld952-server 0\." || fail "ld952-server --version printed no version"
ld952-server --listen 127.0.0.1:0 2>"$work/server.log" &
server=$!
port=""
for _ in $(seq 100); do
  port="$(grep -o '"port":[0-9]*' "$work/server.log" | cut -d: -f2)" && [ -n "$port" ] && break
  sleep 0.05
done
[ -n "$port" ] || fail "the installed ld952-server did not listen: $(cat "$work/server.log")"
headers="$(curl -sS -o "$work/answer.txt" -D - --data-binary @/usr/share/doc/ld952/examples/kuf-chyby.xml \
  "http://127.0.0.1:$port/v1/check?format=txt&name=kuf-chyby.xml")" || fail "curl could not post to the service"
grep -q "^HTTP/1.1 200" <<<"$headers" || fail "the service answered: $headers"
grep -qi "^X-KUF-Errors: [1-9]" <<<"$headers" || fail "the service gave no errors of the sample: $headers"
grep -q "Celkem chyb vahy E" "$work/answer.txt" || fail "the service's protocol has no totals"
kill -TERM "$server"
status=0
wait "$server" || status=$?
[ "$status" -eq 0 ] || fail "ld952-server ended with $status after SIGTERM"
server=""
cd "$root"

dpkg --purge "${packages[@]}" >/dev/null || fail "dpkg --purge ${packages[*]} failed"
for gone in "$program" /usr/share/doc/ld952 /usr/lib/libld952.so.0 /usr/lib/libld952.so \
  /usr/include/ld952.h /usr/lib/pkgconfig/ld952.pc /usr/lib/cmake/ld952; do
  [ ! -e "$gone" ] || fail "$gone is still there after dpkg --purge"
done
for name in "${packages[@]}"; do
  [ -z "$(dpkg-query -W -f '${db:Status-Abbrev}' "$name" 2>/dev/null)" ] ||
    fail "dpkg still knows $name after dpkg --purge"
done
echo "package: installed, ran, found its manual page, built against the library and removed cleanly"
