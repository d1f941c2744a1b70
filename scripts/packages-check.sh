#!/usr/bin/env bash
# CI for the Debian packages: builds them (scripts/debian-packages.sh, into
# build-deb), holds them to lintian, and installs them on this machine with
# apt-get, after checking that none of their files is there yet (a fresh
# Debian root by debootstrap needs a network mirror). Installed, the tool
# renders the demo, pkg-config knows the library, the autopkgtest programs
# build and run, GStreamer gives the demo's exact duration and the desktop
# names a song's type; then apt-get purge must leave none of the files.
# Needs root for apt-get. DEB_BUILD_OPTIONS passes through (default
# parallel=2: the suite runs during the build).
#
#   scripts/packages-check.sh              build, then check
#   scripts/packages-check.sh --no-build   check the packages in build-deb
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" = 0 ] || { echo "packages-check.sh installs packages: run it as root" >&2; exit 1; }
version=$(scripts/project-version.sh)
out="$PWD/build-deb"

if [ "${1:-}" != --no-build ]; then
  echo "== building the packages"
  scripts/debian-packages.sh "$out"
fi
debs=("$out"/*_"$version"_*.deb)
packages=$(for deb in "${debs[@]}"; do dpkg-deb -f "$deb" Package; done)

echo "== lintian"
lintian --fail-on error,warning --display-info "$out"/tamselexport_"$version"_*.changes

# Every file and link the packages hold (not their folders), as absolute
# paths.
files=$(for deb in "${debs[@]}"; do dpkg-deb -c "$deb"; done | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|')
present() { for file in $files; do [ -e "$file" ] || [ -L "$file" ] && echo "$file"; done; true; }
left=$(present)
[ -z "$left" ] || { echo "already on this machine before installing:"; echo "$left"; exit 1; }

# Whatever happens next, the machine is left without the packages.
# shellcheck disable=SC2086
trap 'apt-get purge -y -qq $packages >/dev/null 2>&1 || true' EXIT
# shellcheck disable=SC2086
echo "== installing:" $packages
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${debs[@]}"

echo "== the installed packages at work"
work=$(mktemp -d)
cp examples/demo.tsm "$work/"
(cd "$work" && tamselexport demo.tsm && [ -s demo.wav ])
# The player, on SDL's disk driver at about 20 times real time: the short
# song's frames all reach the file.
cp examples/short.tsm "$work/"
(cd "$work" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=played.raw SDL_DISKAUDIODELAY=1 tamselplay short.tsm >/dev/null)
[ "$(stat -c %s "$work/played.raw")" -ge $((1276800 * 8)) ] || { echo "tamselplay wrote too little"; exit 1; }
echo "tamselplay: played short.tsm to the disk driver"
[ "$(pkg-config --modversion tamsel)" = "$version" ] || { echo "pkg-config knows no tamsel $version"; exit 1; }
for test in debian/tests/build-library debian/tests/render debian/tests/gstreamer-duration; do
  echo "-- $test"
  "$test"
done
type=$(cd "$work" && xdg-mime query filetype demo.tsm)
[ "$type" = audio/x-tsm ] || { echo "xdg-mime says demo.tsm is '$type'"; exit 1; }
echo "xdg-mime: demo.tsm is $type"
rm -rf "$work"

echo "== purging"
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq $packages
trap - EXIT
left=$(present)
[ -z "$left" ] || { echo "left behind by apt-get purge:"; echo "$left"; exit 1; }
echo "the packages built, passed lintian, installed, worked and purged without a trace"
