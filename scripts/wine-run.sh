#!/bin/sh
# Runs a Windows program under Wine with a prefix of its own, headless:
#
#   scripts/wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
#
# The cross build's CMAKE_CROSSCOMPILING_EMULATOR, so ctest and the test
# discovery run the tests through it. The first run makes the prefix (one
# run at a time, under a lock); later runs only use it. No X display is
# needed: Wine's console programs write to the pipes they are given.
set -eu
if [ $# -lt 2 ]; then
  echo "usage: $0 PREFIX PROGRAM [ARGUMENTS...]" >&2
  exit 2
fi
WINEPREFIX=$(realpath -m "$1")
shift
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: nothing here uses .NET or HTML, and Wine would offer to
# download them.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset DISPLAY WAYLAND_DISPLAY

if ! command -v wine >/dev/null || ! command -v wineserver >/dev/null; then
  echo "wine-run.sh: wine is not installed (apt-get install wine wine64)" >&2
  exit 127
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wine wineboot -i >/dev/null 2>&1 || true
      # wineboot returns before the prefix is written out; the server
      # finishing is the sign that it is.
      wineserver -w
    fi
  ) 9>"$WINEPREFIX.lock"
fi

exec wine "$@"
