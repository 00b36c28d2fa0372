#!/usr/bin/env bash
# The page in the browser: installs what it needs when it is missing (emscripten, chromium,
# chromium-driver, python3-selenium), builds the web preset, and runs the page's tests in
# headless Chromium against the program, a generated 100 MB report included.
#   .ci/web.sh [PROGRAM [GENKUF]]     (default: the dev build's ld952 and genkuf)
set -euo pipefail
cd "$(dirname "$0")/.."
binary=${1:-build/dev/driver/ld952}
genkuf=${2:-build/dev/bench/genkuf}

need=()
command -v emcc >/dev/null || need+=(emscripten)
command -v chromium >/dev/null || need+=(chromium)
command -v chromedriver >/dev/null || need+=(chromium-driver)
/usr/bin/python3 -c "import selenium" 2>/dev/null || need+=(python3-selenium)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

if [ ! -x "$binary" ] || [ ! -x "$genkuf" ]; then
  cmake --preset dev >/dev/null
  nice cmake --build --preset dev -j2 --target ld952 genkuf >/dev/null
fi
cmake --preset web >/dev/null
nice cmake --build --preset web -j2 --target ld952_page >/dev/null
/usr/bin/python3 tests/web/page.py build/web/kontrola-kuf.html "$binary" --large "$genkuf"
