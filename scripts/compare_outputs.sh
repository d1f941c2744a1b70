#!/bin/sh
# Checks that two builds of the tool write the same bytes: for the example
# songs, the positional form, and the option form in every format with and
# without stems, a mute, each level option and a fade, on one and on two
# render threads. Each run's files, messages and exit code are compared.
# Prints each case that differs; exits 1 if any did.
#
#   scripts/compare_outputs.sh TOOL_A TOOL_B
# FORMATS="wav wav16" limits the option form to those formats.
set -eu

if [ $# -ne 2 ]; then
    echo "usage: scripts/compare_outputs.sh TOOL_A TOOL_B" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")/.." && pwd)
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
tool_a=$(absolute "$1")
tool_b=$(absolute "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/compare_outputs.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

cases=0
differ=0

# Runs one case with both tools, each in a fresh folder holding the song,
# and compares the folders.
compare() {
    song=$1
    shift
    for side in a b; do
        if [ $side = a ]; then tool=$tool_a; else tool=$tool_b; fi
        dir=$work/$side
        rm -rf "$dir"
        mkdir "$dir"
        cp "$here/examples/$song" "$dir/"
        status=0
        (cd "$dir" && "$tool" "$@" "$song" >log 2>&1) || status=$?
        echo "exit $status" >>"$dir/log"
    done
    cases=$((cases + 1))
    if ! diff -r "$work/a" "$work/b" >/dev/null; then
        differ=$((differ + 1))
        echo "differs: $* $song"
    fi
}

for song in demo.tsm short.tsm; do
    compare "$song"
    for format in ${FORMATS:-wav wav16 wav24 flac flac24 ogg opus mp3}; do
        for extra in "" "--stems" "--mute 1" "--normalize" "--gain -3" "--fade 2"; do
            for jobs in -j1 -j2; do
                # $extra is split on purpose: "--mute 1" is two arguments.
                # shellcheck disable=SC2086
                compare "$song" -f "$format" $extra "$jobs"
            done
        done
    done
done
echo "$cases cases, $differ differ"
[ "$differ" -eq 0 ]
