#!/usr/bin/env bash
# CI: the Debian package of a release build. Makes it with cpack, installs it, runs the
# installed program on the installed sample and the installed service on it over HTTP, finds
# the manual pages, the copyright file and every
# file that the installed README links to, removes the package again, and checks the manual page
# for formatting warnings. Runs as root (dpkg).
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

# The package.
[ -f "$build/CPackConfig.cmake" ] || fail "$build is not a configured build folder"
rm -f "$build"/ld952_*.deb
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack -G DEB failed in $build"
debs=("$build"/ld952_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single ld952_*.deb in $build"
deb="${debs[0]}"
echo "package: $deb"
[ "$(dpkg-deb -f "$deb" Package)" = ld952 ] || fail "the package is not called ld952"
[ -z "$(dpkg-deb -f "$deb" Depends)" ] || fail "the package depends on: $(dpkg-deb -f "$deb" Depends)"
contents="$(dpkg-deb -c "$deb")"
for path in ./usr/bin/ld952 ./usr/share/man/man1/ld952.1.gz ./usr/share/doc/ld952/README.md \
  ./usr/share/doc/ld952/copyright ./usr/share/doc/ld952/docs/protokol.png \
  ./usr/share/doc/ld952/examples/kuf.xml ./usr/share/doc/ld952/examples/kuf-chyby.xml \
  ./usr/share/ld952/schemas/kuf.xsd ./usr/share/ld952/schemas/protokol.xsd \
  ./usr/lib/libld952.a ./usr/include/ld952.h \
  ./usr/bin/ld952-server ./usr/share/man/man1/ld952-server.1.gz \
  ./usr/lib/systemd/system/ld952-server.service ./usr/share/doc/ld952/ld952-server.openapi.json \
  ./usr/share/doc/ld952/ld952-findings.schema.json; do
  grep -q " $path\$" <<<"$contents" || fail "the package lacks $path"
done

# Installed, the package is removed again however the checks end.
if dpkg -s ld952 >/dev/null 2>&1; then
  fail "ld952 is installed already; remove it first (dpkg -r ld952)"
fi
work="$(mktemp -d)"
server=""
cleanup() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  dpkg -r ld952 >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
dpkg -i "$deb" >/dev/null || fail "dpkg -i $deb failed"

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

dpkg -r ld952 >/dev/null || fail "dpkg -r ld952 failed"
[ ! -e "$program" ] || fail "$program is still there after dpkg -r"
[ ! -e /usr/share/doc/ld952 ] || fail "/usr/share/doc/ld952 is still there after dpkg -r"
echo "package: installed, ran, found its manual page and removed cleanly"
