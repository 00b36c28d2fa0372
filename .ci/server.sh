#!/usr/bin/env bash
# CI: ld952-server, the check over HTTP. Installs what it needs where it is missing (Boost for
# Beast, curl, python3-jsonschema), builds the service in the trees whose earlier steps left it
# out for want of Boost and runs its tests there (dev, AddressSanitizer), runs them under
# ThreadSanitizer. The answers are compared with the dev tree's command line, which spares the
# sanitized trees its slow starts. The service's fuzzer (server/fuzz/run.sh) runs outside CI;
# its seeds and regression inputs are replayed by the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
[ -f /usr/include/boost/beast.hpp ] || missing+=(libboost-dev)
command -v curl >/dev/null || missing+=(curl)
/usr/bin/python3 -c 'import jsonschema' 2>/dev/null || missing+=(python3-jsonschema)
if [ ${#missing[@]} -gt 0 ]; then
  echo "server: installing ${missing[*]}"
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
export LD952_REQUIRE_SCHEMA=1

targets=(ld952-server ld952 genkuf)
for preset in dev asan tsan; do
  if [ "$preset" = tsan ] || [ ! -x "build/$preset/server/ld952-server" ]; then
    echo "== server: tests in build/$preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j2 --target "${targets[@]}" >/dev/null
    [ "$preset" = dev ] || export LD952_REFERENCE_CLI="$PWD/build/dev/driver/ld952"
    ctest --preset "$preset" -R '^server\.'
  fi
done
