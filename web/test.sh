#!/usr/bin/env bash
# Tests the web page: builds it, runs the Node.js tests of the WebAssembly
# build against the command-line tool, then drives the page in headless
# Chromium from a loopback server. Run from anywhere: bash web/test.sh
# Needs emscripten, chromium, nodejs (20 or later, with npm) and python3;
# the npm packages come from web/package-lock.json into build-wasm/npm
# (web/build.sh installs them).
# TAMSEL_UPDATE_SCREENSHOT=1 also renews web/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

tool="${TAMSEL_TOOL:-$root/build/tamselexport}"
if [ ! -x "$tool" ]; then
  echo "== building the command-line tool (the reference for the byte comparisons)"
  cmake -S . -B build -G Ninja >/dev/null
  cmake --build build --target tamselexport -j2
fi
export TAMSEL_TOOL="$tool"

echo "== building the page"
bash web/build.sh

echo "== tests of the WebAssembly build under Node.js"
node --test web/test/

# web/build.sh installed the browser driver from web/package-lock.json.
npm_dir="$root/build-wasm/npm"

echo "== the page in headless Chromium"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')
python3 -m http.server --bind 127.0.0.1 --directory build-web "$port" >"$root/build-wasm/http-server.log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/index.html', timeout=1)" 2>/dev/null && break
  sleep 0.2
done
TAMSEL_PAGE_URL="http://127.0.0.1:$port/index.html" TAMSEL_NPM_DIR="$npm_dir" \
  node web/browser-test.mjs
