#!/bin/sh
# Checks the song writer:
#   - the example descriptions regenerate the committed .tsm files byte for byte,
#   - a small song lands at the right file offsets with the right bits,
#   - layered patterns, repeat counts and the loop mark build the right records,
#   - broken descriptions are refused with exit code 1, the line number and no
#     output file.
# usage: tsmwrite_check.sh path/to/tsmwrite source-dir
set -u

if [ $# -ne 2 ]; then
    echo "usage: $0 path/to/tsmwrite source-dir" >&2
    exit 2
fi
tool=$1
src=$2
work=$(mktemp -d) || exit 2
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Unsigned bytes of FILE from OFFSET, COUNT of them, on one line.
bytes_at() {
    od -An -v -tu1 -j "$2" -N "$3" "$1" | tr -s ' \n' '  ' | sed 's/^ //; s/ $//'
}

# expect_bytes FILE OFFSET "B0 B1 ..." WHAT
expect_bytes() {
    count=$(echo "$3" | wc -w)
    got=$(bytes_at "$1" "$2" "$count")
    [ "$got" = "$3" ] || fail "$4: bytes at $2 are '$got', expected '$3'"
}

# ---------------------------------------------------------------- examples

for song in short demo; do
    if "$tool" "$src/examples/$song.txt" "$work/$song.tsm" >/dev/null; then
        cmp -s "$work/$song.tsm" "$src/examples/$song.tsm" ||
            fail "examples/$song.tsm differs from what examples/$song.txt gives"
    else
        fail "examples/$song.txt is refused"
    fi
done

# ---------------------------------------------------------------- layout

cat >"$work/layout.txt" <<'EOF'
wait 119
drums 123
repeat 1 2
instrument 0 lead
  octave 3
  length 1000
  volume 250
  wave square
  envelope attack-decay 0
end
instrument 1
  octave 1
  length 64
  volume 300
  wave sine
  envelope points 0:0 63:126
end
pattern a
  C-0 p3 | C#0 Eb0 G-0 B-1 | . | kick snare~ cymbal6~
  . | 23 | . | 0 23
  rest 1
end
song
  a
end
EOF
layout=$work/layout.tsm
if "$tool" "$work/layout.txt" "$layout" >/dev/null; then
    #            file    offset bytes                           what
    [ "$(wc -c <"$layout")" -eq 1096 ] || fail "layout: file is not 1048 + 16 x 3 bytes"
    expect_bytes "$layout" 0    "84 83 77"                     "magic"
    expect_bytes "$layout" 8    "119 0 0 0"                    "wait"
    expect_bytes "$layout" 12   "1 0 0 0 2 0 0 0 3 0 0 0"      "repeat start, end, record count"
    expect_bytes "$layout" 24   "3 0 0 0 232 3 0 0 250 0 0 0"  "instrument 0 octave, length, volume"
    expect_bytes "$layout" 44   "127 127"                      "square starts high"
    expect_bytes "$layout" 172  "129 129"                      "square second half is -127"
    expect_bytes "$layout" 300  "128 126"                      "attack-decay 0 starts at unity"
    expect_bytes "$layout" 363  "0"                            "attack-decay closes at 0"
    expect_bytes "$layout" 364  "1 0 0 0 64 0 0 0 44 1 0 0"   "instrument 1 octave, length, volume"
    expect_bytes "$layout" 384  "0"                            "sine starts at 0"
    expect_bytes "$layout" 448  "127"                          "sine peaks at a quarter"
    expect_bytes "$layout" 576  "129"                          "sine bottoms at three quarters"
    expect_bytes "$layout" 640  "0 2 4 6"                      "envelope points interpolate"
    expect_bytes "$layout" 703  "126"                          "envelope holds its last point"
    expect_bytes "$layout" 704  "0 0 0 0 0 0 0 0 0 0 0 0"      "undeclared instrument 2 is zero"
    expect_bytes "$layout" 1044 "123 0 0 0"                    "drum volume"
    expect_bytes "$layout" 1048 "1 0 0 3 0 0 0 0 0 0 0 0"      "track 0: C-0 with pan 3"
    expect_bytes "$layout" 1060 "138 0 128 0 0 0 128 0 0 0 0 0" "track 1: chord bits 1 3 7, B-1 = 23"
    expect_bytes "$layout" 1072 "0 0 0 0 0 0 0 0 0 0 0 0"      "track 2: nothing"
    expect_bytes "$layout" 1084 "33 0 128 0 1 0 128 0 0 0 0 0" "track 3: kick, soft snare, cymbal6~"
else
    fail "layout song is refused"
fi

# ---------------------------------------------------------------- song order

cat >"$work/order.txt" <<'EOF'
wait 0
drums 300
instrument 0
  octave 4
  length 2000
  volume 200
  wave saw + 0.5 pulse-25*2
  envelope adsr 2 10 90 20
end
pattern beat tracks 3
  hat, .
end
pattern tune tracks 0
  C-0, D-0, E-0, F-0
end
song
  tune + beat x2
  loop
  beat
end
EOF
order=$work/order.tsm
if "$tool" "$work/order.txt" "$order" >/dev/null; then
    expect_bytes "$order" 12 "8 0 0 0 10 0 0 0 10 0 0 0" "loop after 8 records of 10"
    expect_bytes "$order" 1048 "1 0 0 0 4 0 0 0 16 0 0 0 32 0 0 0" "tune, first pass"
    expect_bytes "$order" 1064 "1 0 0 0 4 0 0 0 16 0 0 0 32 0 0 0" "tune, second pass"
    expect_bytes "$order" 1080 "0 0 0 0 0 0 0 0" "beat alone leaves track 0 empty"
    expect_bytes "$order" 1168 "0 4 0 0 0 0 0 0 0 4 0 0 0 0 0 0" "short layer repeats"
    expect_bytes "$order" 1200 "0 4 0 0 0 0 0 0" "beat after the loop mark"
else
    fail "order song is refused"
fi

# ---------------------------------------------------------------- refusals

# Every case appends lines to this preamble (10 lines), so line 11 is its first.
preamble='wait 99
drums 200
instrument 0
  octave 3
  length 1000
  volume 200
  wave sine
  envelope flat
end
; cases start below'

# refuse LINE "MESSAGE PART" "DESCRIPTION LINES"
refuse() {
    printf '%s\n%s\n' "$preamble" "$3" >"$work/bad.txt"
    rm -f "$work/bad.tsm"
    "$tool" "$work/bad.txt" "$work/bad.tsm" >/dev/null 2>"$work/bad.err"
    rc=$?
    [ $rc -eq 1 ] || fail "'$2': exit code $rc, expected 1"
    grep -q "bad.txt:$1: .*$2" "$work/bad.err" ||
        fail "'$2' not reported at line $1: $(cat "$work/bad.err")"
    [ ! -e "$work/bad.tsm" ] || fail "'$2': an output file was written"
}

refuse 16 "more than 1000 records" "pattern a
  rest 600
end
song
  a
  a
end"
refuse 12 "unknown note 'H-0'" "pattern a
  H-0
end"
refuse 12 "unknown note 'B#1'" "pattern a
  B#1
end"
refuse 12 "no instrument" "pattern a
  . | C-0
end"
refuse 12 "unknown drum 'bongo'" "pattern a
  . | . | . | bongo
end"
refuse 12 "p1..p7" "pattern a
  C-0 p8
end"
refuse 12 "given twice" "pattern a
  C-0 E-0 C-0
end"
refuse 12 "more than 4 fields" "pattern a
  . | . | . | . | .
end"
refuse 18 "different pans" "pattern a
  C-0 p1
end
pattern b
  D-0 p2
end
song
  a + b
end"
refuse 18 "does not divide" "pattern a
  rest 3
end
pattern b
  rest 2
end
song
  a + b
end"
refuse 16 "not before the end" "pattern a
  C-0
end
song
  a
  loop
end"
refuse 11 "not closed" "pattern a
  C-0"
refuse 12 "0..128" "instrument 1
  envelope points 0:0 10:129
end"
refuse 11 "unknown directive" "tempo 120"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all tsmwrite checks passed"
