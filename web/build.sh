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
cp web/page/*.html web/page/*.css web/page/*.js web/page/*.webmanifest web/page/*.svg build-web/
# The service worker keeps every file of the build, under a cache name
# that changes whenever one of them does.
files=$(cd build-web && ls | grep -vx 'sw.js' | sed "s/.*/'&'/" | paste -sd, -)
build=$(cd build-web && cat $(ls | grep -vx 'sw.js') | sha256sum | cut -c1-16)
sed -i "s|/\* @FILES@ \*/|$files|; s|@BUILD@|$build|" build-web/sw.js
# Marks the .js files as ES modules for Node.js, which the tests use.
printf '{ "type": "module" }\n' > build-web/package.json
echo "built build-web/ ($(du -sh build-web | cut -f1))"
