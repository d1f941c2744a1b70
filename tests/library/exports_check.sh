#!/bin/sh
# The shared library exports the C API alone: every dynamic symbol it
# defines starts with tamsel_, and the C API is there.
#   exports_check.sh path/to/libtamsel.so [nm]
set -eu
library="$1"
nm="${2:-nm}"
names=$("$nm" -D --defined-only "$library" | awk '{ print $NF }' | sort -u)
printf '%s\n' "$names" | grep -qx tamsel_render_float || { echo "no C API exported by $library"; exit 1; }
others=$(printf '%s\n' "$names" | grep -v '^tamsel_' || true)
if [ -n "$others" ]; then
  echo "$library exports names outside tamsel_:"
  echo "$others"
  exit 1
fi
echo "$library exports $(printf '%s\n' "$names" | wc -l) names, all tamsel_"
