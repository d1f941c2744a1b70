#!/bin/sh
# Installs what building and testing tamselexport needs and this machine
# lacks, from Debian's packages. As root it runs apt-get; as anyone else it
# prints the exact command to run and stops.
#
#   scripts/install-deps.sh            the build, the tests and the benchmarks
#   scripts/install-deps.sh ci         also clang (sanitizers, fuzzing),
#                                      clang-format, the web page's toolchain
#                                      and browser, MinGW-w64 and Wine for
#                                      the Windows build, and the Debian
#                                      packaging tools
set -eu

missing=""
need_command() { command -v "$1" >/dev/null 2>&1 || missing="$missing $2"; }
need_file() { [ -e "$1" ] || missing="$missing $2"; }
# A file under any multiarch folder: the pattern is expanded on purpose.
# shellcheck disable=SC2086
need_glob() { ls $1 >/dev/null 2>&1 || missing="$missing $2"; }

need_command g++ g++
need_command cmake cmake
need_command ninja ninja-build
need_command pkg-config pkg-config
need_command git git
need_file /usr/include/gtest/gtest.h libgtest-dev
need_file /usr/include/benchmark/benchmark.h libbenchmark-dev
need_file /usr/include/sndfile.h libsndfile1-dev
need_file /usr/include/ebur128.h libebur128-dev
# The player, tamselplay, plays through SDL2 (its tests use SDL's disk driver).
need_file /usr/include/SDL2/SDL.h libsdl2-dev
# The tests run the tool under a pseudo-terminal and read its output.
need_command script bsdutils
# The tests read the files the tool writes with the formats' reference
# decoders and tag readers.
need_command flac flac
need_command metaflac flac
need_command oggdec vorbis-tools
need_command opusdec opus-tools
need_command lame lame
need_command mediainfo mediainfo
need_command ffprobe ffmpeg
# The GStreamer plugin, and the tools and Python bindings its tests use.
need_file /usr/include/gstreamer-1.0/gst/gst.h libgstreamer1.0-dev
need_file /usr/include/gstreamer-1.0/gst/audio/audio.h libgstreamer-plugins-base1.0-dev
need_file /usr/include/gstreamer-1.0/gst/audio/gstnonstreamaudiodecoder.h libgstreamer-plugins-bad1.0-dev
need_command gst-launch-1.0 gstreamer1.0-tools
need_command gst-discoverer-1.0 gstreamer1.0-plugins-base-apps
need_file /usr/lib/python3/dist-packages/gi/__init__.py python3-gi
need_glob '/usr/lib/*/girepository-1.0/Gst-1.0.typelib' gir1.2-gstreamer-1.0
need_glob '/usr/lib/*/gstreamer-1.0/libgstplayback.so' gstreamer1.0-plugins-base

if [ "${1:-}" = ci ]; then
  need_command clang++ clang
  need_command clang-format clang-format
  if ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    missing="$missing libclang-rt-14-dev"
  fi
  # scripts/build-codecs.sh, for the Windows build and the web page.
  need_command make make
  need_command xz xz-utils
  need_command bzip2 bzip2
  need_command emcc emscripten
  need_command node nodejs
  need_command npm npm
  need_command chromium chromium
  need_command python3 python3
  need_command x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
  need_command wine wine
  need_file /usr/lib/wine/wine64 wine64
  need_file /usr/src/googletest/googletest/CMakeLists.txt googletest
  need_command groff groff-base
  # The Windows installer.
  need_command makensis nsis
  # scripts/packages-check.sh: the Debian packages, lintian, and the
  # desktop's view of a song (the MIME type, the metainfo, the desktop
  # entry).
  need_command dpkg-buildpackage dpkg-dev
  need_command dh debhelper
  need_command fakeroot fakeroot
  need_command lintian lintian
  need_command desktop-file-validate desktop-file-utils
  need_command appstreamcli appstream
  need_command update-mime-database shared-mime-info
  need_command xdg-mime xdg-utils
  need_command mimetype libfile-mimeinfo-perl
fi

[ -z "$missing" ] && exit 0
command="apt-get update && apt-get install -y --no-install-recommends$missing"
if [ "$(id -u)" != 0 ]; then
  echo "Some packages are missing. Install them with:" >&2
  echo "  sudo sh -c '$command'" >&2
  exit 1
fi
echo "Installing:$missing"
apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
