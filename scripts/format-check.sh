#!/bin/sh
# Checks that every C and C++ file in the repository follows .clang-format.
# With --fix, reformats them instead.
set -eu
cd "$(dirname "$0")/.."
files=$(git ls-files '*.c' '*.cpp' '*.h' '*.hpp')
if [ "${1:-}" = --fix ]; then
  # shellcheck disable=SC2086
  clang-format -i $files
  exit 0
fi
# shellcheck disable=SC2086
clang-format --dry-run --Werror $files
echo "$(echo "$files" | wc -l) files follow .clang-format"
