#!/usr/bin/env bash
# Builds the Debian packages from a copy of the source tree:
#
#   scripts/debian-packages.sh OUT_DIR [SOURCE_DIR]
#
# SOURCE_DIR (default: this checkout, its tracked and new unignored files)
# is copied to OUT_DIR/tamselexport-VERSION, where dpkg-buildpackage
# builds the binary packages unsigned; the .deb, .buildinfo and .changes
# files land in OUT_DIR. DEB_BUILD_OPTIONS passes through (default:
# parallel=2, the test suite included).
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mkdir -p "$1" && cd "$1" && pwd)
source=${2:-}
version=$(scripts/project-version.sh)
copy="$out/tamselexport-$version"

rm -rf "$copy"
mkdir -p "$copy"
if [ -n "$source" ]; then
  cp -a "$source/." "$copy/"
else
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
    tar --null -T - -cf - | tar -xf - -C "$copy"
fi
rm -f "$out"/*.deb "$out"/*.buildinfo "$out"/*.changes
(cd "$copy" && DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:-parallel=2}" dpkg-buildpackage -us -uc -b)
echo "packages in $out:"
ls "$out"/*.deb
