#!/usr/bin/env bash
# The page in the browser: installs what it needs when it is missing (emscripten, chromium,
# chromium-driver, python3-selenium, and axe-core from npm into build/web-axe), builds the web
# preset, and runs the page's tests in headless Chromium against the program, a generated
# 100 MB report included.
#   .ci/web.sh [PROGRAM [GENKUF]]     (default: the dev build's ld952 and genkuf)
set -euo pipefail
cd "$(dirname "$0")/.."
binary=${1:-build/dev/driver/ld952}
genkuf=${2:-build/dev/bench/genkuf}

need=()
command -v emcc >/dev/null || need+=(emscripten)
command -v chromium >/dev/null || need+=(chromium)
command -v chromedriver >/dev/null || need+=(chromium-driver)
command -v npm >/dev/null || need+=(npm)
/usr/bin/python3 -c "import selenium" 2>/dev/null || need+=(python3-selenium)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

# axe-core judges the page's accessibility; one fixed version, so that a new rule cannot fail CI
# on its own.
axe_version=4.14.1
axe=build/web-axe/node_modules/axe-core/axe.min.js
if ! head -c 40 "$axe" 2>/dev/null | grep -q "axe v$axe_version\b"; then
  mkdir -p build/web-axe
  npm install --prefix build/web-axe --no-save --no-audit --no-fund --loglevel=error \
    "axe-core@$axe_version" >/dev/null
fi

if [ ! -x "$binary" ] || [ ! -x "$genkuf" ]; then
  cmake --preset dev >/dev/null
  nice cmake --build --preset dev -j2 --target ld952 genkuf >/dev/null
fi
cmake --preset web >/dev/null
nice cmake --build --preset web -j2 --target ld952_page >/dev/null
/usr/bin/python3 tests/web/page.py build/web/kontrola-kuf.html "$binary" --large "$genkuf" --axe "$axe"
