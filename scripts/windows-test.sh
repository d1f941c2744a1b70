#!/bin/sh
# Builds the Windows version with its tests (MinGW-w64) and runs the whole
# suite under Wine:
#
#   scripts/windows-test.sh [BUILD_DIR]         (default build-win-test)
#
# GoogleTest is built for Windows from /usr/src/googletest (Debian package
# googletest); each test program runs through scripts/wine-run.sh, with a
# Wine prefix in BUILD_DIR/wine-prefix that the first run makes. Needs
# g++-mingw-w64-x86-64-posix, wine, wine64, googletest, cmake, ninja-build
# and what scripts/build-codecs.sh needs (its codecs, as in
# scripts/windows-build.sh, make every format part of the suite); no X
# display. When a Linux build is there (TAMSEL_LINUX_BUILD, default build),
# the Windows tool's files in every format are then held to its files.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build-win-test}
codecs=${TAMSEL_CODECS_MINGW:-$PWD/build-codecs/mingw}

scripts/build-codecs.sh mingw "$codecs"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DTAMSEL_CODECS="$codecs" \
      -DCMAKE_BUILD_TYPE=Release -DTAMSEL_TESTS=ON -DTAMSEL_BENCH=OFF
# Listing the tests at build time runs each test program under Wine, which
# makes the prefix on first use.
cmake --build "$build" -j2

# One Wine server for the whole run, rather than one started and stopped
# around each of the hundreds of test processes. Its background services
# start with the first program; that one runs here with its output going
# nowhere, since the services keep the output they were started with open,
# and a test's would then never reach its end.
WINEPREFIX=$(realpath -m "$build/wine-prefix")
export WINEPREFIX WINEDEBUG=-all
scripts/wine-run.sh "$WINEPREFIX" cmd /c exit 0 </dev/null >/dev/null 2>&1
wineserver -k 2>/dev/null || true
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
scripts/wine-run.sh "$WINEPREFIX" cmd /c exit 0 </dev/null >/dev/null 2>&1
# Should Wine's services still catch a test's output under load, that test
# would wait for ever: it times out instead and runs once more.
ctest --test-dir "$build" --output-on-failure -j2 --timeout 300 --repeat after-timeout:2

linux_build=${TAMSEL_LINUX_BUILD:-build}
if [ -f "$linux_build/CTestTestfile.cmake" ]; then
  TAMSEL_WINDOWS_EXE="$PWD/$build/tamselexport.exe" \
    ctest --test-dir "$linux_build" --output-on-failure -R 'TheWindowsBuildWritesEveryFormat'
fi
