#!/usr/bin/env bash
# Builds the fuzz targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs one or all of them for a bounded time.
#
#   fuzz/run.sh TARGET [SECONDS] [LIBFUZZER OPTIONS...]
#
# TARGET is song (song files through the engine's renderer), api (the C API
# with arguments from the input), options (the command line's parsers) or
# all (each in turn, SECONDS each; default 30). A bare number as TARGET
# means all for that many seconds.
#
# Each target starts from its committed corpus in fuzz/corpus/TARGET. New
# inputs go to BUILD/fuzz-corpus/TARGET, a crash, hang, leak or memory
# blow-up to BUILD/fuzz-artifacts/TARGET-*, and the script then exits
# non-zero. BUILD is build-fuzz in the source folder unless TAMSEL_FUZZ_BUILD
# names another. To fold what a run found into the committed corpus, keeping
# only inputs that reach new edges (the full feature set would take
# megabytes):
#   BUILD/fuzz/TARGET_fuzzer -merge=1 -use_counters=0 -use_cmp=0 \
#     fuzz/corpus/TARGET BUILD/fuzz-corpus/TARGET
# The seeds are written by make_fuzz_seeds (fuzz/make_seeds.cpp, built here):
#   BUILD/fuzz/make_fuzz_seeds fuzz/corpus examples/*.tsm
set -euo pipefail
target="${1:-all}"
if [[ "$target" =~ ^[0-9]+$ ]]; then
  seconds="$target"
  target=all
  shift || true
else
  seconds="${2:-30}"
  shift $(( $# < 2 ? $# : 2 ))
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAMSEL_FUZZ_BUILD:-$root/build-fuzz}"

case "$target" in
  song|api|options) targets=("$target") ;;
  all) targets=(song api options) ;;
  *) echo "usage: fuzz/run.sh song|api|options|all [SECONDS] [LIBFUZZER OPTIONS...]" >&2; exit 2 ;;
esac

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAMSEL_FUZZ=ON -DTAMSEL_TESTS=OFF -DTAMSEL_BENCH=OFF -DTAMSEL_SHARED=OFF >/dev/null
build_targets=()
for t in "${targets[@]}"; do build_targets+=("${t}_fuzzer"); done
cmake --build "$build" -j2 --target "${build_targets[@]}"

for t in "${targets[@]}"; do
  # Song inputs are 16 control bytes and a song of at most 1048 + 16 x 1000
  # bytes; a command line fits in a few hundred. Every input renders a fixed
  # window, in milliseconds, so 10 seconds is a hang. No input may make one
  # allocation beyond 64 MiB: loading and rendering cost nothing that grows
  # with note lengths.
  case "$t" in
    song|api) max_len=17064; dict="$root/fuzz/song.dict" ;;
    options) max_len=512; dict="$root/fuzz/options.dict" ;;
  esac
  mkdir -p "$build/fuzz-corpus/$t" "$build/fuzz-artifacts"
  echo "== fuzzing $t for $seconds s"
  "$build/fuzz/${t}_fuzzer" "$build/fuzz-corpus/$t" "$root/fuzz/corpus/$t" \
    -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=64 \
    -dict="$dict" -artifact_prefix="$build/fuzz-artifacts/$t-" -print_final_stats=1 "$@"
done
