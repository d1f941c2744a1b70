#!/bin/sh
# Configures and builds every documented combination of build options that
# the README's two commands and CI do not already build, each in a folder of
# its own under build-options/, and runs the tests of those that have them:
#   - the library alone (TAMSEL_TOOL=OFF) with the default tests
#   - no tests, no benchmarks
#   - no libsndfile and no libebur128 (the tool then writes WAV only)
#   - the static library alone (TAMSEL_SHARED=OFF)
#   - without the GStreamer plugin (TAMSEL_GSTREAMER=OFF)
# The Windows toolchain is built by scripts/windows-ci.sh, the WebAssembly
# one by web/build.sh.
set -eu
cd "$(dirname "$0")/.."
root=build-options

check() {
  name="$1"
  shift
  echo "== $name: $*"
  cmake -S . -B "$root/$name" -G Ninja "$@" >"$root/$name.log" 2>&1 ||
    { cat "$root/$name.log"; exit 1; }
  cmake --build "$root/$name" -j2 >>"$root/$name.log" 2>&1 || { tail -40 "$root/$name.log"; exit 1; }
  if [ -f "$root/$name/CTestTestfile.cmake" ]; then
    ctest --test-dir "$root/$name" -j2 --output-on-failure >"$root/$name.test.log" 2>&1 ||
      { tail -60 "$root/$name.test.log"; exit 1; }
    grep -E "tests passed|tests failed" "$root/$name.test.log"
  fi
}

mkdir -p "$root"
check library-only -DTAMSEL_TOOL=OFF
check no-tests -DTAMSEL_TESTS=OFF
check no-codecs -DTAMSEL_SNDFILE=OFF -DTAMSEL_EBUR128=OFF
check static-only -DTAMSEL_SHARED=OFF -DTAMSEL_TESTS=OFF -DTAMSEL_BENCH=OFF
check no-gstreamer -DTAMSEL_GSTREAMER=OFF -DTAMSEL_TESTS=OFF -DTAMSEL_BENCH=OFF
echo "every build option combination configured and built"
