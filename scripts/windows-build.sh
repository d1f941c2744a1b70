#!/bin/sh
# Builds for 64-bit Windows with MinGW-w64 on a Linux host:
#
#   scripts/windows-build.sh [BUILD_DIR]        (default build-win)
#
# BUILD_DIR then holds tamselexport.exe, the library as tamsel.dll with its
# import library libtamsel.dll.a and as the static libtamsel.a, all with the
# C and C++ runtimes linked in statically, and the release archive
# tamselexport-VERSION-win64.zip, with tamselplay.exe too when SDL2 is
# there (build-codecs.sh builds it), and, when NSIS's makensis is installed,
# the installer tamsel-VERSION-setup.exe. The tool writes every format and measures
# loudness: the codec libraries are built first by scripts/build-codecs.sh
# into build-codecs/mingw (reused while scripts/codec-versions.txt is
# unchanged; TAMSEL_CODECS_MINGW names another folder) and linked in
# statically too. Needs g++-mingw-w64-x86-64-posix, cmake, ninja-build and
# what build-codecs.sh needs.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build-win}
codecs=${TAMSEL_CODECS_MINGW:-$PWD/build-codecs/mingw}

scripts/build-codecs.sh mingw "$codecs"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DTAMSEL_CODECS="$codecs" \
      -DCMAKE_BUILD_TYPE=Release -DTAMSEL_TESTS=OFF -DTAMSEL_BENCH=OFF -DTAMSEL_SHARED=ON
cmake --build "$build" -j2
(cd "$build" && cpack)
if command -v makensis >/dev/null; then
  cmake --build "$build" --target installer
fi
