#!/usr/bin/env bash
# Speed of each output format, in times real time: the best of several
# whole exports (render, encode, write) of a song by the built tool. Both
# the wall-clock figure and the one from the processor time the export used
# are shown: on a busy machine the second is the steadier.
#
#   bench/audio_formats.sh [TOOL] [SONG] [RUNS]
#   (defaults: build/tamselexport, examples/demo.tsm, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
tool=${1:-build/tamselexport}
song=${2:-examples/demo.tsm}
runs=${3:-5}
[ -x "$tool" ] || { echo "audio_formats.sh: no tool at $tool (build it first)" >&2; exit 1; }

seconds=$("$tool" --info --json "$song" | sed -n 's/.*"seconds":\([0-9.]*\).*/\1/p')
[ -n "$seconds" ] || { echo "audio_formats.sh: $song has no length" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Arithmetic on decimals, through awk (bc is not always installed).
calc() { awk "BEGIN { print $1 }"; }
# The smaller of two decimal numbers; the second when the first is empty.
smaller() { if [ -z "$1" ]; then echo "$2"; else calc "($2 < $1) ? $2 : $1"; fi; }

echo "$song: $seconds s of audio, best of $runs runs, load average $(cut -d' ' -f1 /proc/loadavg 2>/dev/null || echo ?)"
printf '%-7s %9s %9s %11s %11s\n' format wall cpu "x wall" "x cpu"
TIMEFORMAT='%R %U %S'
for format in wav wav16 wav24 flac flac24 ogg opus mp3; do
  best_wall=""
  best_cpu=""
  for _ in $(seq "$runs"); do
    read -r wall user sys < <({ time "$tool" -q --force -f "$format" -o "$work/out.$format" "$song"; } 2>&1)
    best_wall=$(smaller "$best_wall" "$wall")
    best_cpu=$(smaller "$best_cpu" "$(calc "$user + $sys")")
  done
  printf '%-7s %8.3fs %8.3fs %10.0fx %10.0fx\n' "$format" "$best_wall" "$best_cpu" \
    "$(calc "$seconds / $best_wall")" "$(calc "$seconds / ($best_cpu + 0.0005)")"
done
