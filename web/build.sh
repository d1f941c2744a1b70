#!/usr/bin/env bash
# Builds the web page into build-web/: the library and its export code
# compiled to WebAssembly by the project's CMake build with Emscripten's
# toolchain (in build-wasm/, target tamsel_wasm), beside the page's own
# files. Serve the result with any static file server, for example:
# python3 -m http.server -d build-web 8000
set -euo pipefail
cd "$(dirname "$0")/.."

# Debian's emcc runs on the system Node.js and finds its modules here.
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"

emcmake cmake -S . -B build-wasm -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-wasm --target tamsel_wasm -j2

rm -rf build-web
mkdir -p build-web
cp build-wasm/src/web/tamsel-wasm.js build-wasm/src/web/tamsel-wasm.wasm build-web/
cp web/page/*.html web/page/*.css web/page/*.js build-web/
# Marks the .js files as ES modules for Node.js, which the tests use.
printf '{ "type": "module" }\n' > build-web/package.json
echo "built build-web/ ($(du -sh build-web | cut -f1))"
