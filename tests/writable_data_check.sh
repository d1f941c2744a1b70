#!/bin/sh
# The library keeps no mutable state of its own: every object in a writable
# data section (.data, .bss and their subsections, but not .data.rel.ro,
# which is read-only once relocated) must be one of the allowed few. The
# processor's fastest inner loop is found once and then only read.
#   writable_data_check.sh path/to/libtamsel.a
set -eu
library="$1"
allowed='tamsel::core::best_steady_mix_path()::best'
found=$(objdump -t -C "$library" |
  awk '$3 == "O" || $2 == "O" { print }' |
  grep -E '[[:space:]]\.(data|bss)([.[:space:]]|$)' |
  grep -v '\.data\.rel\.ro' |
  sed -E 's/.*[[:space:]][0-9a-f]{16}[[:space:]]+//' |
  grep -v -F -e "$allowed" || true)
if [ -n "$found" ]; then
  echo "writable data in $library:"
  echo "$found"
  exit 1
fi
echo "no writable data in $library besides: $allowed"
