#!/bin/sh
# Tests what the Windows release build ships, under Wine, in a Wine prefix
# of its own made afresh:
#
#   scripts/windows-release-test.sh [BUILD_DIR]     (default build-win)
#
# - every program of the release imports only DLLs that Windows has;
# - the installer tamsel-VERSION-setup.exe refuses a bad /PATH= choice, then
#   installs silently with /PATH=yes for a user whose PATH has an entry of
#   their own: the files, the Start menu folder, the context-menu verbs, the
#   .tsm association (with the player), the uninstall entry and the PATH
#   are checked with `wine reg query`;
# - the "Convert to FLAC" verb's command line, run as Windows would run it
#   on a song whose path has spaces, writes the Linux tool's bytes, and the
#   installed tamselexport.exe renders the demo song as the Linux tool does
#   (the Linux build in TAMSEL_LINUX_BUILD, default build);
# - the installed player, when the build has one, plays the demo song
#   through SDL's disk driver: the Linux tool's float render, with
#   silence only around it;
# - the silent uninstaller leaves none of the files, keys and the PATH entry
#   it added, and keeps the user's own PATH entry and a file of the user's
#   in the install folder.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build-win}
linux=${TAMSEL_LINUX_BUILD:-build}
version=$(scripts/project-version.sh)
setup=$(realpath -m "$build/tamsel-$version-setup.exe")
stage=$build/installer-stage

fail() {
  echo "windows-release-test.sh: $*" >&2
  exit 1
}
[ -f "$setup" ] || fail "no $setup (cmake --build $build --target installer)"
[ -x "$linux/tamselexport" ] || fail "no Linux tool $linux/tamselexport to hold the Windows files to"
scripts/windows-imports.sh "$stage"/*.exe

work=$(realpath -m "$build/release-test")
rm -rf "$work"
mkdir -p "$work"
WINEPREFIX=$work/prefix
export WINEPREFIX WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true' EXIT
on_wine() { scripts/wine-run.sh "$WINEPREFIX" "$@"; }
# The installer and the uninstaller are Windows programs that may return
# before their work is done (the uninstaller runs from a copy of itself):
# the Wine server ends when every program in the prefix has.
on_wine_and_wait() {
  code=0
  on_wine "$@" || code=$?
  wineserver -w
  return $code
}
# A registry value's data, or nothing; "" names the key's default value.
reg_value() {
  if [ -z "$2" ]; then
    on_wine reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^    (Default)    REG_[A-Z_]*    //p'
  else
    on_wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^    $2    REG_[A-Z_]*    //p"
  fi
}
expect_value() {
  [ "$(reg_value "$1" "$2")" = "$3" ] || fail "$1 [$2] is '$(reg_value "$1" "$2")', not '$3'"
}
key_exists() { on_wine reg query "$1" >/dev/null 2>&1; }

classes='HKCU\Software\Classes'
verbs="$classes"'\SystemFileAssociations\.tsm\shell'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\tamselexport'
win_dir='C:\tamsel'
dir=$WINEPREFIX/drive_c/tamsel
user_path='C:\my tools'
files="tamselexport.exe tamselexport-manual.txt README.txt LICENSE.txt examples/demo.tsm uninstall.exe"
player=$([ -f "$stage/tamselplay.exe" ] && echo yes || echo no)
if [ "$player" = yes ]; then
  files="$files tamselplay.exe"
  [ ! -f "$stage/tamselplay-manual.txt" ] || files="$files tamselplay-manual.txt"
fi

echo "== installing silently"
on_wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$user_path" /f >/dev/null
status=0
on_wine_and_wait "$setup" /S /PATH=maybe "/D=$win_dir" || status=$?
[ "$status" = 2 ] || fail "/PATH=maybe gave exit code $status, not 2"
[ ! -e "$dir" ] || fail "/PATH=maybe installed files"
on_wine_and_wait "$setup" /S /PATH=yes "/D=$win_dir"
for file in $files; do
  [ -f "$dir/$file" ] || fail "the installer did not install $file"
done
start_menu=$(find "$WINEPREFIX/drive_c/users" -path '*/Start Menu/Programs/tamselexport' -type d)
[ -n "$start_menu" ] || fail "no Start menu folder"
[ "$(find "$start_menu" -name '*.lnk' | wc -l)" -ge 3 ] || fail "the Start menu folder lacks shortcuts"
expect_value 'HKCU\Environment' Path "$user_path;$win_dir"
expect_value "$verbs"'\tamsel.wav' "" "Convert to WAV"
expect_value "$verbs"'\tamsel.flac' "" "Convert to FLAC"
expect_value "$uninstall_key" DisplayName tamselexport
expect_value "$uninstall_key" DisplayVersion "$version"
expect_value "$uninstall_key" QuietUninstallString "\"$win_dir\\uninstall.exe\" /S"
if [ "$player" = yes ]; then
  expect_value "$classes"'\.tsm' "" tamsel.song
  expect_value "$classes"'\tamsel.song\shell\open\command' "" "\"$win_dir\\tamselplay.exe\" \"%1\""
fi

echo "== the installed tools, held to the Linux build's"
"$linux/tamselexport" -q -o "$work/linux.wav" examples/demo.tsm
on_wine "$dir/tamselexport.exe" -q -o 'C:\demo.wav' 'C:\tamsel\examples\demo.tsm'
cmp "$work/linux.wav" "$WINEPREFIX/drive_c/demo.wav"
# The verb's command line, with the song for %1, as a batch file runs it.
mkdir -p "$WINEPREFIX/drive_c/my songs"
cp examples/demo.tsm "$WINEPREFIX/drive_c/my songs/the demo.tsm"
reg_value "$verbs"'\tamsel.flac\command' "" | sed 's/%1/C:\\my songs\\the demo.tsm/' >"$WINEPREFIX/drive_c/verb.bat"
# It waits for a key only when the conversion failed.
on_wine cmd /c 'C:\verb.bat' </dev/null >"$work/verb.log" 2>&1 || { cat "$work/verb.log"; fail "the verb failed"; }
! grep -q 'Press any key' "$work/verb.log" || { cat "$work/verb.log"; fail "the verb waited for a key"; }
cp examples/demo.tsm "$work/the demo.tsm"
"$linux/tamselexport" -q -f flac "$work/the demo.tsm"
cmp "$work/the demo.flac" "$WINEPREFIX/drive_c/my songs/the demo.flac"
if [ "$player" = yes ]; then
  # SDL 2.26 on Windows reads its settings into one shared buffer, so the
  # disk driver's file name would become its delay setting: giving both the
  # same text keeps the name, and the text reads as a delay of 0.
  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE='C:\play.raw' SDL_DISKAUDIODELAY='C:\play.raw' \
    on_wine "$dir/tamselplay.exe" 'C:\tamsel\examples\demo.tsm' </dev/null >/dev/null
  played=$WINEPREFIX/drive_c/play.raw
  # The render's bytes, and the silence a device gets once the list ends
  # (how much of it depends on the timing, so two players' files are not
  # compared whole; the Linux player is held to the same by its own tests).
  python3 - "$work/linux.wav" "$played" <<'EOF'
import struct, sys
wav, played = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
at = 12
while wav[at:at + 4] != b"data":
    at += 8 + struct.unpack("<I", wav[at + 4:at + 8])[0] + (struct.unpack("<I", wav[at + 4:at + 8])[0] & 1)
render = wav[at + 8:at + 8 + struct.unpack("<I", wav[at + 4:at + 8])[0]]
# Silence may come first too, before the device has the song.
render, played = render.lstrip(b"\0"), played.lstrip(b"\0")
if not played.startswith(render) or played[len(render):].strip(b"\0"):
    sys.exit("the player's bytes are not the render between silences")
EOF
else
  echo "windows-release-test.sh: the build has no tamselplay.exe; the player is not tested"
fi

echo "== uninstalling silently"
echo "the user's own" >"$dir/mine.txt"
on_wine_and_wait "$dir/uninstall.exe" /S
for file in $files; do
  [ ! -e "$dir/$file" ] || fail "the uninstaller left $file"
done
[ -f "$dir/mine.txt" ] || fail "the uninstaller removed a file it had not installed"
[ ! -e "$start_menu" ] || fail "the uninstaller left the Start menu folder"
expect_value 'HKCU\Environment' Path "$user_path"
for key in "$classes"'\SystemFileAssociations' "$classes"'\.tsm' "$classes"'\tamsel.song' "$uninstall_key"; do
  ! key_exists "$key" || fail "the uninstaller left $key"
done
echo "windows-release-test.sh: the installer, the tools and the uninstaller work under Wine"
