#!/bin/sh
# The version is set in CMakeLists.txt's project() line; the Debian
# changelog's top entry, NEWS.md's newest section and the AppStream
# metainfo's newest release must name the same one.
#   version_check.sh SOURCE_DIR VERSION
set -eu
source="$1"
version="$2"
status=0
check() {
  [ "$2" = "$version" ] && return 0
  echo "$1 names version '$2', the project is $version"
  status=1
}
check debian/changelog "$(sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p' "$source/debian/changelog")"
check NEWS.md "$(sed -n 's/^## \([^ ]*\).*/\1/p' "$source/NEWS.md" | head -n 1)"
check desktop/org.tamsel.tamselexport.metainfo.xml \
  "$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$source/desktop/org.tamsel.tamselexport.metainfo.xml" | head -n 1)"
[ "$status" = 0 ] && echo "the changelog, NEWS.md and the metainfo name version $version"
exit "$status"
