#!/bin/sh
# Continuous integration for the Windows build: installs MinGW-w64, Wine
# and the GoogleTest source when they are missing (as root, with apt-get),
# runs the whole suite built for Windows under Wine (with the Linux build in
# build, if any, as what the Windows tool's files are held to), builds the release
# archive tamselexport-VERSION-win64.zip and the installer
# tamsel-VERSION-setup.exe in build-win, and tests them under Wine (the
# installer, the installed tools and the player, the uninstaller; with the
# Linux tool in build). Both builds share the codecs and SDL2 in
# build-codecs/mingw, built once.
set -eu
cd "$(dirname "$0")/.."

missing=""
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing="$missing g++-mingw-w64-x86-64-posix"
command -v wine >/dev/null || missing="$missing wine"
[ -x /usr/lib/wine/wine64 ] || missing="$missing wine64"
[ -f /usr/src/googletest/googletest/CMakeLists.txt ] || missing="$missing googletest"
command -v groff >/dev/null || missing="$missing groff-base"
command -v cmake >/dev/null || missing="$missing cmake"
command -v ninja >/dev/null || missing="$missing ninja-build"
command -v make >/dev/null || missing="$missing make"
command -v pkg-config >/dev/null || missing="$missing pkg-config"
command -v xz >/dev/null || missing="$missing xz-utils"
command -v bzip2 >/dev/null || missing="$missing bzip2"
command -v makensis >/dev/null || missing="$missing nsis"
if [ -n "$missing" ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "windows-ci.sh: missing packages:$missing (install them as root)" >&2
    exit 1
  fi
  apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi

echo "== the suite built for Windows, under Wine"
scripts/windows-test.sh build-win-test
echo "== the Windows release build and archive"
scripts/windows-build.sh build-win
if [ -x "${TAMSEL_LINUX_BUILD:-build}/tamselexport" ]; then
  echo "== the Windows installer, tools and player, under Wine"
  scripts/windows-release-test.sh build-win
else
  echo "windows-ci.sh: no Linux build in ${TAMSEL_LINUX_BUILD:-build}; the installer is not tested"
fi
