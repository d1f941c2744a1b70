#!/usr/bin/env bash
# Builds the web page into build-web/: the library compiled to WebAssembly
# with Emscripten (its CMake build lives in build-wasm/), linked into an ES
# module, beside the page's own files. Serve the result with any static
# file server, for example: python3 -m http.server -d build-web 8000
set -euo pipefail
cd "$(dirname "$0")/.."

# Debian's emcc runs on the system Node.js and finds its modules here.
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"

emcmake cmake -S . -B build-wasm -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTAMSEL_TOOL=OFF -DTAMSEL_TESTS=OFF -DTAMSEL_BENCH=OFF -DTAMSEL_SHARED=OFF >/dev/null
cmake --build build-wasm --target tamsel_static -j2

exports=(
  tamsel_version tamsel_status_message
  tamsel_song_load_memory tamsel_song_free tamsel_song_get_info
  tamsel_song_get_instrument_shape tamsel_song_tracks_with_notes
  tamsel_render_options_init tamsel_renderer_create tamsel_renderer_free
  tamsel_renderer_length tamsel_renderer_wraps tamsel_render_float tamsel_render_int32
  tamsel_renderer_seek tamsel_renderer_position tamsel_renderer_set_muted_tracks
  tamsel_web_export_wav
  malloc free
)
exported=$(printf '_%s,' "${exports[@]}")

# The module runs in workers and, for the tests, under Node.js; both hand
# it the .wasm bytes, so it needs no file system and no Node.js glue.
rm -rf build-web
mkdir -p build-web
# The 16-bit and normalised files come from the command line's own audio
# code (WAV only: no encoder libraries), with the same rounding rules.
em++ -O2 -std=c++20 -ffp-contract=off -fno-fast-math -Isrc -Iinclude -Ibuild-wasm/generated/include \
  src/export/*.cpp src/common/*.cpp src/web/web_export.cpp \
  -Wl,--whole-archive build-wasm/src/library/libtamsel.a -Wl,--no-whole-archive \
  -o build-web/tamsel-wasm.js \
  -sMODULARIZE=1 -sEXPORT_ES6=1 -sEXPORT_NAME=createTamselModule \
  -sENVIRONMENT=web,worker -sFILESYSTEM=0 -sALLOW_MEMORY_GROWTH=1 -sWASM_BIGINT=1 \
  -sEXPORTED_FUNCTIONS="${exported%,}"

cp web/page/*.html web/page/*.css web/page/*.js build-web/
# Marks the .js files as ES modules for Node.js, which the tests use.
printf '{ "type": "module" }\n' > build-web/package.json
echo "built build-web/ ($(du -sh build-web | cut -f1))"
