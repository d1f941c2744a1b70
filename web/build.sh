#!/usr/bin/env bash
# Builds the web page into build-web/: the library and its export code
# compiled to WebAssembly by the project's CMake build with Emscripten's
# toolchain (target tamsel_wasm), beside the page's own files. It is built
# twice: in build-wasm/ without the codecs (tamsel-wasm: playing and the
# WAV formats, what every visit loads) and in build-wasm-codecs/ with the
# codec libraries that scripts/build-codecs.sh builds into
# build-codecs/emscripten (tamsel-codecs: every format and loudness, loaded
# only for a save that needs it). Serve the result with any static file
# server, for example: python3 -m http.server -d build-web 8000
set -euo pipefail
cd "$(dirname "$0")/.."

# Debian's emcc runs on the system Node.js and finds its modules here.
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
codecs=${TAMSEL_CODECS_EMSCRIPTEN:-$PWD/build-codecs/emscripten}

sh scripts/build-codecs.sh emscripten "$codecs"
emcmake cmake -S . -B build-wasm -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-wasm --target tamsel_wasm -j2
emcmake cmake -S . -B build-wasm-codecs -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMSEL_CODECS="$codecs" >/dev/null
cmake --build build-wasm-codecs --target tamsel_wasm -j2

rm -rf build-web
mkdir -p build-web
cp build-wasm/src/web/tamsel-wasm.js build-wasm/src/web/tamsel-wasm.wasm build-web/
cp build-wasm-codecs/src/web/tamsel-codecs.js build-wasm-codecs/src/web/tamsel-codecs.wasm build-web/
cp build-wasm/src/web/constants.js build-web/
# The page's one npm package, client-zip (stems download as one zip file),
# and the test's (the browser driver and axe-core), from the lock file.
npm_dir="$PWD/build-wasm/npm"
mkdir -p "$npm_dir"
cp web/package.json web/package-lock.json "$npm_dir/"
(cd "$npm_dir" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
cp "$npm_dir/node_modules/client-zip/index.js" build-web/client-zip.js
cp "$npm_dir/node_modules/client-zip/LICENSE.txt" build-web/client-zip.LICENSE.txt
cp web/page/*.html web/page/*.css web/page/*.js web/page/*.webmanifest web/page/*.svg build-web/
# What "Try the demo" plays.
cp examples/demo.tsm build-web/
# The service worker keeps every file of the build but the codecs' module
# (kept when first used), under a cache name
# that changes whenever one of them does.
files=$(cd build-web && ls | grep -vx 'sw.js' | grep -v '^tamsel-codecs\.' | sed "s/.*/'&'/" | paste -sd, -)
build=$(cd build-web && cat $(ls | grep -vx 'sw.js') | sha256sum | cut -c1-16)
sed -i "s|/\* @FILES@ \*/|$files|; s|@BUILD@|$build|" build-web/sw.js
# Marks the .js files as ES modules for Node.js, which the tests use.
printf '{ "type": "module" }\n' > build-web/package.json
echo "built build-web/ ($(du -sh build-web | cut -f1))"
