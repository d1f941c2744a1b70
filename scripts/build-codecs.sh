#!/bin/sh
# Builds the codec libraries behind FLAC, Ogg Vorbis, Opus, MP3 and the
# loudness measure (libogg, libvorbis, libFLAC, libopus, libmp3lame,
# libmpg123, libsndfile with all of them, libebur128) as static libraries
# for another target, and for Windows SDL2 too (the player's audio output,
# with the WASAPI, DirectSound, winmm, disk and dummy drivers):
#
#   scripts/build-codecs.sh mingw|emscripten PREFIX
#
# PREFIX then holds lib/*.a, include/ and lib/pkgconfig/*.pc (use
# pkg-config --static with PKG_CONFIG_LIBDIR=PREFIX/lib/pkgconfig). The
# sources are the Debian source packages named in codec-versions.txt,
# fetched with apt-get source (a deb-src entry for bookworm is added when
# none is there and this runs as root) and checked against the SHA-256
# written there and in the package's .dsc; the upstream tarballs are built
# as they are, without Debian's patches (SDL2's dynamic API, switched off,
# is the one change), and checked by linking codecs-check.c (and
# sdl2-check.c) with them. A later run with the same versions file and
# build files finds PREFIX/.codecs-stamp and does nothing; the downloads
# stay in PREFIX.src for the next rebuild.
#
# mingw needs g++-mingw-w64-x86-64-posix, emscripten needs emscripten;
# both need cmake, ninja-build, make, pkg-config, xz-utils and bzip2.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
versions=$here/codec-versions.txt

usage() {
  echo "usage: $0 mingw|emscripten PREFIX" >&2
  exit 2
}
[ $# -eq 2 ] || usage
target=$1
case $target in mingw | emscripten) ;; *) usage ;; esac
mkdir -p "$2"
prefix=$(cd "$2" && pwd)
work=$prefix.src
jobs=${CODEC_JOBS:-2}

# What the libraries are built from: a change to any of it rebuilds them.
stamp_wanted=$(cat "$versions" "$0" "$here/codecs-check.c" "$here/sdl2-check.c" "$here/windows-imports.sh" \
  "$here/../cmake/mingw-w64.cmake" | sha256sum | cut -d' ' -f1)
if [ "$(cat "$prefix/.codecs-stamp" 2>/dev/null || true)" = "$stamp_wanted" ]; then
  echo "build-codecs.sh: $prefix is up to date"
  exit 0
fi

# --- Fetching and checking the sources --------------------------------------

# apt-get source needs a deb-src entry; Debian images often ship only
# binary ones.
ensure_deb_src() {
  pkg=$1 version=$2
  if apt-cache showsrc "$pkg" 2>/dev/null | grep -qx "Version: $version"; then
    return
  fi
  if [ "$(id -u)" != 0 ]; then
    echo "build-codecs.sh: no source package $pkg $version; add a deb-src entry for bookworm (as root)" >&2
    exit 1
  fi
  cat >/etc/apt/sources.list.d/tamsel-src.sources <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  apt-get update -qq
}

# The tarball must have the pinned checksum, and the .dsc must list that
# same checksum, so the pin is Debian's own.
check_tarball() {
  tarball=$1 sum=$2 dsc=$3
  echo "$sum  $tarball" | sha256sum -c --quiet - ||
    { echo "build-codecs.sh: $tarball does not have the checksum in codec-versions.txt" >&2; exit 1; }
  grep -q "^ $sum [0-9]* $tarball\$" "$dsc" ||
    { echo "build-codecs.sh: $dsc does not list $tarball with the pinned checksum" >&2; exit 1; }
}

# Downloads the package unless its tarball is already there and checks it.
# apt-get source fails when an optional file (a signature, Debian's patch
# tarball) is missing from the mirror; only the .dsc and the upstream
# tarball are needed.
fetch() {
  pkg=$1 version=$2 tarball=$3 sum=$4
  dsc=${pkg}_$(echo "$version" | sed 's/^[0-9]*://').dsc
  mkdir -p "$work/download"
  if [ ! -f "$work/download/$tarball" ] || [ ! -f "$work/download/$dsc" ]; then
    ensure_deb_src "$pkg" "$version"
    (cd "$work/download" && apt-get source -qq --download-only "$pkg=$version" >/dev/null 2>&1) || true
    [ -f "$work/download/$tarball" ] && [ -f "$work/download/$dsc" ] ||
      { echo "build-codecs.sh: apt-get source $pkg=$version did not give $tarball and $dsc" >&2; exit 1; }
  fi
  (cd "$work/download" && check_tarball "$tarball" "$sum" "$dsc")
}

# Unpacks into a fresh folder and prints its path.
unpack() {
  tarball=$1
  dir=$work/build/${tarball%%.orig.tar.*}
  rm -rf "$dir"
  mkdir -p "$dir"
  tar -xf "$work/download/$tarball" -C "$dir" --strip-components=1
  echo "$dir"
}

# --- Building -----------------------------------------------------------------

# FLAC__NO_DLL: libFLAC's header would otherwise declare its functions as
# DLL imports on Windows, while here it is a static library.
export CFLAGS="-O2 -DFLAC__NO_DLL"
export CXXFLAGS="-O2"

case $target in
  mingw)
    host=x86_64-w64-mingw32
    cmake_cmd="cmake"
    # The project's own cross toolchain, with PREFIX searched as well.
    cmake_target="-DCMAKE_TOOLCHAIN_FILE=$here/../cmake/mingw-w64.cmake -DTAMSEL_CODECS=$prefix"
    configure_cmd=""
    make_cmd="make"
    ;;
  emscripten)
    # Debian's emcc runs on the system Node.js and finds its modules here.
    export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
    host=wasm32-unknown-emscripten
    cmake_cmd="emcmake cmake"
    # CMake's type size checks read the size from the program they build,
    # but an Emscripten program keeps it in its .wasm, not in the .js that
    # CMake reads: the sizes libogg and libsndfile ask for are given here,
    # as wasm32 has them.
    mkdir -p "$work"
    : >"$work/wasm32-sizes.cmake"
    for size in INT16_SIZE=2 UINT16_SIZE=2 U_INT16_SIZE=2 INT32_SIZE=4 UINT32_SIZE=4 U_INT32_SIZE=4 \
      INT64_SIZE=8 SHORT_SIZE=2 INT_SIZE=4 LONG_SIZE=4 LONG_LONG_SIZE=8 SIZEOF_INT64_T=8 SIZEOF_LONG=4 \
      SIZEOF_LONG_LONG=8 SIZEOF_SSIZE_T=4 SIZEOF_WCHAR_T=4 SIZEOF_VOIDP=4; do
      printf 'set(HAVE_%s TRUE CACHE INTERNAL "")\nset(%s %s CACHE INTERNAL "")\n' \
        "${size%=*}" "${size%=*}" "${size#*=}" >>"$work/wasm32-sizes.cmake"
    done
    cmake_target="-C $work/wasm32-sizes.cmake -DCMAKE_FIND_ROOT_PATH=$prefix"
    configure_cmd="emconfigure"
    make_cmd="emmake make"
    ;;
esac

cmake_build() {
  src=$1
  shift
  # shellcheck disable=SC2086
  $cmake_cmd -S "$src" -B "$src/_build" -G Ninja $cmake_target \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF "$@" >"$src/_build.log" 2>&1 ||
    { tail -30 "$src/_build.log" >&2; exit 1; }
  cmake --build "$src/_build" -j"$jobs" >>"$src/_build.log" 2>&1 || { tail -30 "$src/_build.log" >&2; exit 1; }
  cmake --install "$src/_build" >>"$src/_build.log" 2>&1 || { tail -30 "$src/_build.log" >&2; exit 1; }
}

autotools_build() {
  src=$1
  shift
  # These tarballs' config.sub predates the emscripten system name; the one
  # in libFLAC's tarball, newer, knows it (so flac comes before them in
  # codec-versions.txt).
  if [ "$target" = emscripten ]; then
    cp "$work/config.sub" "$work/config.guess" "$(dirname "$(find "$src" -name config.sub | head -1)")/"
  fi
  (cd "$src" && PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" $configure_cmd ./configure --host=$host \
    --prefix="$prefix" --disable-shared --enable-static "$@") >"$src/_build.log" 2>&1 ||
    { tail -30 "$src/_build.log" >&2; exit 1; }
  (cd "$src" && $make_cmd -j"$jobs" && $make_cmd install) >>"$src/_build.log" 2>&1 ||
    { tail -30 "$src/_build.log" >&2; exit 1; }
}

build_libogg() { cmake_build "$1" -DINSTALL_DOCS=OFF; }
build_libvorbis() { cmake_build "$1"; }
build_flac() {
  # No stack protector or fortify: on Windows either would need libssp,
  # which no .pc file names.
  cmake_build "$1" -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOCS=OFF \
    -DINSTALL_MANPAGES=OFF -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF -DWITH_OGG=ON
}
# The 1.3.1 tarball's CMake files are incomplete; its configure is whole.
# _FORTIFY_SOURCE defined keeps configure from adding its own, whose
# checked memcpy would need libssp on Windows.
build_opus() {
  CFLAGS="$CFLAGS -D_FORTIFY_SOURCE=0" autotools_build "$1" --disable-doc --disable-extra-programs \
    --disable-stack-protector
}
build_lame() {
  autotools_build "$1" --disable-frontend --disable-decoder --disable-gtktest --disable-analyzer-hooks
}
build_mpg123() {
  # Only libmpg123 (libsndfile's MP3 reader), with the portable decoder.
  autotools_build "$1" --disable-components --enable-libmpg123 --with-cpu=generic_fpu --disable-modules
}
build_libsndfile() {
  cmake_build "$1" -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DENABLE_CPACK=OFF -DBUILD_REGTEST=OFF \
    -DENABLE_EXTERNAL_LIBS=ON -DENABLE_MPEG=ON -DINSTALL_MANPAGES=OFF -DENABLE_PACKAGE_CONFIG=OFF
}
build_libebur128() { cmake_build "$1" -DENABLE_INTERNAL_QUEUE_H=ON; }
# SDL2 with audio and what audio needs (events, threads, timers) only.
build_libsdl2() {
  # The dynamic API lets an environment variable load another SDL library
  # into the program: of no use where SDL is linked in, and on Windows it
  # would pull in the video functions left out here.
  header=$1/src/dynapi/SDL_dynapi.h
  sed -i 's/^#define SDL_DYNAMIC_API 1$/#define SDL_DYNAMIC_API 0/' "$header"
  ! grep -q '^#define SDL_DYNAMIC_API 1' "$header" ||
    { echo "build-codecs.sh: could not switch off SDL's dynamic API in $header" >&2; exit 1; }
  cmake_build "$1" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON \
    -DSDL2_DISABLE_UNINSTALL=ON -DSDL_CCACHE=OFF -DSDL_VIDEO=OFF -DSDL_RENDER=OFF -DSDL_JOYSTICK=OFF \
    -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF -DSDL_XINPUT=OFF -DSDL_OPENGL=OFF \
    -DSDL_OPENGLES=OFF -DSDL_VULKAN=OFF -DSDL_RENDER_D3D=OFF -DSDL_DUMMYVIDEO=OFF -DSDL_OFFSCREEN=OFF
  # The player is a console program with its own main: no -mwindows (a
  # program without a console) and no libmingw32 (there for SDL2main).
  sed -i 's/ -mwindows//g; s/ -lmingw32//g' "$prefix/lib/pkgconfig/sdl2.pc"
}

# Links codecs-check.c with everything built, as a program of the target
# would, and runs it where that needs no emulator: Emscripten's runs on
# Node.js (Windows programs are tested under Wine by the project's suite).
check_codecs() {
  libs=$(PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" pkg-config --static --cflags --libs sndfile libebur128)
  case $target in
    mingw)
      # shellcheck disable=SC2086
      x86_64-w64-mingw32-gcc-posix -O2 -static "$here/codecs-check.c" $libs -o "$work/codecs-check.exe"
      sdl=$(PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" pkg-config --static --cflags --libs sdl2)
      # shellcheck disable=SC2086
      x86_64-w64-mingw32-gcc-posix -O2 -static "$here/sdl2-check.c" $sdl -o "$work/sdl2-check.exe"
      "$here/windows-imports.sh" "$work/sdl2-check.exe"
      ;;
    emscripten)
      # shellcheck disable=SC2086
      emcc -O2 -sWASM_ASYNC_COMPILATION=0 "$here/codecs-check.c" $libs -o "$work/codecs-check.js"
      node "$work/codecs-check.js"
      ;;
  esac
}

build_all() {
  # PREFIX is emptied first: only one this script made.
  if [ -n "$(ls -A "$prefix")" ] && [ ! -f "$prefix/.codecs-stamp" ] && [ ! -f "$prefix/.codecs-building" ]; then
    echo "build-codecs.sh: $prefix is not empty and holds no codecs this script built" >&2
    exit 1
  fi
  rm -rf "$prefix" "$work/build"
  mkdir -p "$prefix"
  : >"$prefix/.codecs-building"
  grep -v '^#' "$versions" | while read -r pkg version tarball sum; do
    [ -n "$pkg" ] || continue
    # SDL2 serves the player, which the web page has no use for.
    [ "$target:$pkg" != emscripten:libsdl2 ] || continue
    fetch "$pkg" "$version" "$tarball" "$sum"
    echo "build-codecs.sh: $pkg $version for $target"
    src=$(unpack "$tarball")
    "build_$pkg" "$src"
    [ "$pkg" = flac ] || continue
    # libFLAC's config.sub and config.guess serve the later packages (see
    # autotools_build).
    cp "$src/config.sub" "$src/config.guess" "$work/"
  done
  rm -rf "$work/build"
  check_codecs
  echo "$stamp_wanted" >"$prefix/.codecs-stamp"
  rm -f "$prefix/.codecs-building"
  echo "build-codecs.sh: $target codecs in $prefix"
}

# The shell reads a function whole before running it: editing this file
# while it runs cannot change what runs.
build_all
exit 0
