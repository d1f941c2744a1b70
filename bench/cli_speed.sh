#!/bin/sh
# Times the command line as a user runs it:
#  1. the whole export of one long song (the demo with three more loops,
#     about 7.5 minutes of audio, 174 MB) against writing the same number of
#     bytes to a file with plain large writes (dd, 1 MiB blocks);
#  2. eight songs rendered with -j 1 and with -j 2.
# Each figure is the best of RUNS runs (default 5), in a scratch folder on
# the same file system as WORKDIR (default: a new folder under /tmp).
#
#   bench/cli_speed.sh [TOOL] [WORKDIR]     TOOL defaults to build/tamselexport
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-$here/build/tamselexport}
runs=${RUNS:-5}
if [ ! -x "$tool" ]; then
    echo "cli_speed.sh: no tool at $tool (build it first, or pass its path)" >&2
    exit 1
fi
tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")
if [ $# -ge 2 ]; then
    work=$2/cli_speed.$$
    mkdir -p "$work"
else
    work=$(mktemp -d /tmp/cli_speed.XXXXXX)
fi
trap 'rm -rf "$work"' EXIT INT TERM

now() { date +%s.%N; }

# Seconds of the fastest of $runs runs of the command "$@", with the
# folder's outputs removed before each run.
best_of() {
    best=
    i=0
    while [ "$i" -lt "$runs" ]; do
        rm -rf "$work/out" "$work/one" "$work/two" "$work/dd.bin"
        start=$(now)
        "$@"
        end=$(now)
        best=$(awk -v a="$start" -v b="$end" -v best="$best" \
            'BEGIN { t = b - a; if (best == "" || t < best) best = t; printf "%.3f", best }')
        i=$((i + 1))
    done
    echo "$best"
}

# Wall times mean little on a busy machine: say how busy it was.
if [ -r /proc/loadavg ]; then
    echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"
fi

cp "$here/examples/demo.tsm" "$work/long.tsm"
cd "$work"

export_long() { "$tool" -q -l 3 -d out long.tsm; }
"$tool" -q -l 3 -d out long.tsm
bytes=$(wc -c <out/long.wav)
plain_write() { dd if=/dev/zero of=dd.bin bs=1M count="$bytes" iflag=count_bytes status=none; }

t_export=$(best_of export_long)
t_dd=$(best_of plain_write)
mb=$(awk -v n="$bytes" 'BEGIN { printf "%.0f", n / 1e6 }')
echo "one long song, $mb MB of WAV (best of $runs):"
echo "  whole export            $t_export s"
echo "  plain writes (dd 1 MiB) $t_dd s"
awk -v e="$t_export" -v d="$t_dd" 'BEGIN { printf "  export / plain writes   %.2f\n", e / d }'

i=1
songs=
while [ "$i" -le 8 ]; do
    cp "$here/examples/demo.tsm" "song$i.tsm"
    songs="$songs song$i.tsm"
    i=$((i + 1))
done
jobs_one() { "$tool" -q -j 1 -d one $songs; }
jobs_two() { "$tool" -q -j 2 -d two $songs; }
t_one=$(best_of jobs_one)
t_two=$(best_of jobs_two)
echo "eight songs, 2 minutes each (best of $runs):"
echo "  -j 1                    $t_one s"
echo "  -j 2                    $t_two s"
awk -v a="$t_two" -v b="$t_one" 'BEGIN { printf "  -j 2 / -j 1             %.2f\n", a / b }'
