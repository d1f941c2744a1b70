#!/bin/sh
# The player's desktop entry and the tools' metainfo pass
# desktop-file-validate and appstreamcli; the MIME type, put into a MIME
# database of its own, names a song by its .tsm name and, under another
# name, by its magic.
#   desktop_files_check.sh SOURCE_DIR
set -eu
source="$1"
for tool in desktop-file-validate appstreamcli update-mime-database mimetype; do
  command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

desktop-file-validate "$source/desktop/org.tamsel.tamselplay.desktop"
# Infos included: --pedantic lists what the stores would still miss.
report=$(appstreamcli validate --no-net --pedantic "$source/desktop/org.tamsel.tamselexport.metainfo.xml" 2>&1) ||
  { echo "$report"; exit 1; }
case "$report" in *"I:"* | *"W:"* | *"E:"* | *"P:"*) echo "$report"; exit 1 ;; esac

mkdir -p "$work/mime/packages"
cp "$source/desktop/tamsel.xml" "$work/mime/packages/"
export XDG_DATA_HOME="$work" XDG_DATA_DIRS="$work"
update-mime-database "$work/mime"
cp "$source/examples/short.tsm" "$work/song.tsm"
cp "$source/examples/short.tsm" "$work/song.bin"
printf 'not a song' > "$work/text.tsm"
# "file options expected": a song by name and magic, a song under another
# name by its magic, and a text file with a song's name by its content.
status=0
while read -r file options expected; do
  found=$(mimetype --brief "$options" "$work/$file")
  case "$expected" in
    !*) [ "$found" != "${expected#!}" ] || { echo "$file ($options): $found"; status=1; } ;;
    *) [ "$found" = "$expected" ] || { echo "$file ($options): $found, not $expected"; status=1; } ;;
  esac
done <<TABLE
song.tsm --dereference audio/x-tsm
song.bin --magic-only audio/x-tsm
text.tsm --magic-only !audio/x-tsm
TABLE
[ "$status" = 0 ] && echo "the desktop entry and metainfo validate; songs are audio/x-tsm by name and by magic"
exit "$status"
