#!/usr/bin/env bash
# Builds the song fuzzer with clang and runs it for a bounded time.
#
#   fuzz/run.sh [seconds]     (default 60)
#
# One fuzzing process, started from the seed songs in fuzz/corpus. New
# inputs it finds go to BUILD/fuzz-corpus, a crash, hang or memory blow-up to
# BUILD/fuzz-artifacts, and the script then exits non-zero. BUILD is
# build-fuzz in the source folder unless TAMSEL_FUZZ_BUILD names another.
# The seeds are written by make_fuzz_seeds (fuzz/make_seeds.cpp, built here):
#   BUILD/fuzz/make_fuzz_seeds fuzz/corpus examples/*.tsm
set -euo pipefail
seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAMSEL_FUZZ_BUILD:-$root/build-fuzz}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAMSEL_FUZZ=ON -DTAMSEL_TESTS=OFF -DTAMSEL_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target song_fuzzer

mkdir -p "$build/fuzz-corpus" "$build/fuzz-artifacts"
# Inputs are 8 argument bytes and a song of at most 1048 + 16 x 1000 bytes.
# The slowest inputs the target accepts take about 4 seconds, so one of 20
# is a hang; those asking for more than 64 MiB of notes are skipped by the
# target itself, so 4 GiB of memory is a leak or a bug.
"$build/fuzz/song_fuzzer" "$build/fuzz-corpus" "$root/fuzz/corpus" \
  -max_total_time="$seconds" -max_len=17056 -timeout=20 -rss_limit_mb=4096 \
  -dict="$root/fuzz/song.dict" -artifact_prefix="$build/fuzz-artifacts/" \
  -print_final_stats=1
