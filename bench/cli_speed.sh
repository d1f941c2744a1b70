#!/usr/bin/env bash
# Times the whole export of the positional form side by side with the
# engine at commit 6276ed6 (before it became a library), which the script
# builds once in a work folder. Runs alternate between the two tools on
#  (a) a typical song with 40 loops: examples/short.tsm, 14 minutes of
#      audio, a 320 MB WAV file;
#  (b) a dense song: every note of every track and every drum held, about 86
#      voices at once, 10 loops of 30 s, a 128 MB WAV file.
# For each it prints the best of RUNS runs (default 7) of the processor time
# (user + system) and of the wall time, and the load average before and
# after: wall times on a busy machine say little. Then it times this tool's
# option form on eight two-minute songs with -j 1 and with -j 2.
#
#   bench/cli_speed.sh [TOOL] [WORKDIR]
# TOOL defaults to build/tamselexport; WORKDIR (default: a new
# folder under /tmp) must be on the file system to time. The old build is
# kept in build/cli_speed-6276ed6 (BASE_BUILD to put it elsewhere).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-$here/build/tamselexport}
runs=${RUNS:-7}
base=6276ed6
base_build=${BASE_BUILD:-$here/build/cli_speed-$base}
if [ ! -x "$tool" ]; then
    echo "cli_speed.sh: no tool at $tool (build it first, or pass its path)" >&2
    exit 1
fi
tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")

# The old tree has one CMake project with the same TAMSEL_TESTS and
# TAMSEL_BENCH options; its tool and tsmwrite land at the build's top.
old_tool=$base_build/build/tamselexport
old_tsmwrite=$base_build/build/tsmwrite
if [ ! -x "$old_tool" ] || [ ! -x "$old_tsmwrite" ]; then
    echo "building $base in $base_build ..."
    rm -rf "$base_build"
    mkdir -p "$base_build/src"
    git -C "$here" archive "$base" | tar -x -C "$base_build/src"
    cmake -S "$base_build/src" -B "$base_build/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DTAMSEL_TESTS=OFF -DTAMSEL_BENCH=OFF >"$base_build/cmake.log"
    cmake --build "$base_build/build" -j2 --target tamselexport tsmwrite >"$base_build/build.log"
fi

if [ $# -ge 2 ]; then
    work=$2/cli_speed.$$
    mkdir -p "$work"
else
    work=$(mktemp -d /tmp/cli_speed.XXXXXX)
fi
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

cp "$here/examples/short.tsm" typical.tsm
{
    echo "wait 99"
    echo "drums 200"
    for t in 0 1 2; do
        printf 'instrument %d\n  octave %d\n  length 40000\n  volume 150\n' "$t" $((2 + t))
        printf '  wave square + 0.5 saw\n  envelope decay 32\nend\n'
        printf 'pattern held%d tracks %d\n  %s\n  rest 7\nend\n' "$t" "$t" "$(seq -s ' ' 0 23)"
    done
    printf 'pattern drums tracks 3\n  kick kick2 snare snare2 ohat hat cymbal cymbal2 cymbal3 cymbal4 cymbal5 cymbal6\n'
    printf '  rest 7\nend\n'
    printf 'song\n  held0 + held1 + held2 + drums x38\nend\n'
} >dense.txt
"$old_tsmwrite" dense.txt dense.tsm >/dev/null

# One timed run: "cpu wall" in seconds, user + system time of the tool.
TIMEFORMAT='%3U %3S %3R'
timed() {
    local song=$1 loops=$2 tool=$3 times
    rm -f "${song%.tsm}.wav"
    times=$( { time "$tool" "$song" "$loops" >/dev/null; } 2>&1 )
    rm -f "${song%.tsm}.wav"
    echo "$times" | awk '{ printf "%.3f %.3f\n", $1 + $2, $3 }'
}

declare -A best_cpu best_wall
keep_best() {
    local key=$1 cpu wall
    read -r cpu wall
    if [ -z "${best_cpu[$key]:-}" ] || awk -v a="$cpu" -v b="${best_cpu[$key]}" 'BEGIN { exit !(a < b) }'; then
        best_cpu[$key]=$cpu
    fi
    if [ -z "${best_wall[$key]:-}" ] || awk -v a="$wall" -v b="${best_wall[$key]}" 'BEGIN { exit !(a < b) }'; then
        best_wall[$key]=$wall
    fi
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"
"$tool" typical.tsm 40 >/dev/null
typical_mb=$(awk -v n="$(wc -c <typical.wav)" 'BEGIN { printf "%.0f", n / 1e6 }')
"$tool" dense.tsm 10 >/dev/null
dense_mb=$(awk -v n="$(wc -c <dense.wav)" 'BEGIN { printf "%.0f", n / 1e6 }')
for ((i = 0; i < runs; i++)); do
    keep_best old-typical < <(timed typical.tsm 40 "$old_tool")
    keep_best new-typical < <(timed typical.tsm 40 "$tool")
    keep_best old-dense < <(timed dense.tsm 10 "$old_tool")
    keep_best new-dense < <(timed dense.tsm 10 "$tool")
done
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"

report() {
    local song=$1 what=$2
    echo "$what (best of $runs):"
    printf '  %-9s cpu %7s s   wall %7s s\n' "$base" "${best_cpu[old-$song]}" "${best_wall[old-$song]}"
    printf '  %-9s cpu %7s s   wall %7s s\n' "this" "${best_cpu[new-$song]}" "${best_wall[new-$song]}"
    awk -v a="${best_cpu[new-$song]}" -v b="${best_cpu[old-$song]}" -v c="${best_wall[new-$song]}" \
        -v d="${best_wall[old-$song]}" 'BEGIN { printf "  this / %s: cpu %.2f, wall %.2f\n", "'"$base"'", a / b, c / d }'
}
report typical "typical song, 40 loops, $typical_mb MB"
report dense "dense song, 10 loops, $dense_mb MB"

songs=()
for i in 1 2 3 4 5 6 7 8; do
    cp "$here/examples/demo.tsm" "song$i.tsm"
    songs+=("song$i.tsm")
done
for ((i = 0; i < runs; i++)); do
    for jobs in 1 2; do
        rm -rf out
        keep_best "jobs-$jobs" < <( { time "$tool" -q -j "$jobs" -d out "${songs[@]}"; } 2>&1 |
            awk '{ printf "%.3f %.3f\n", $1 + $2, $3 }')
    done
done
rm -rf out
echo "eight songs, 2 minutes each, option form (best of $runs):"
printf '  -j 1      cpu %7s s   wall %7s s\n' "${best_cpu[jobs-1]}" "${best_wall[jobs-1]}"
printf '  -j 2      cpu %7s s   wall %7s s\n' "${best_cpu[jobs-2]}" "${best_wall[jobs-2]}"
