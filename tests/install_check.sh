#!/bin/sh
# Installs the build into a temporary prefix, then builds and runs the
# library examples against what was installed: the C one through
# pkg-config and through a C-only CMake project, the C++ one through
# CMake's find_package.
#   install_check.sh BUILD_DIR SOURCE_DIR VERSION
set -eu
build="$1"
source="$2"
version="$3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in include/tamsel/tamsel.h include/tamsel/tamsel.hpp bin/tamselexport share/man/man1/tamselexport.1 \
    share/bash-completion/completions/tamselexport share/zsh/site-functions/_tamselexport \
    share/fish/vendor_completions.d/tamselexport.fish share/mime/packages/tamsel.xml \
    share/metainfo/org.tamsel.tamselexport.metainfo.xml; do
  [ -e "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done
# The player's desktop entry comes with the player alone.
if [ -e "$prefix/bin/tamselplay" ]; then
  [ -e "$prefix/share/applications/org.tamsel.tamselplay.desktop" ] || { echo "no desktop entry for the player"; exit 1; }
elif [ -e "$prefix/share/applications" ]; then
  echo "desktop entries installed without the player: $(ls "$prefix/share/applications")"
  exit 1
fi
libdir=$(dirname "$(find "$prefix" -name tamsel.pc)")/..
[ -e "$libdir/libtamsel.a" ] || { echo "no static library in $libdir"; exit 1; }
soname=$(objdump -p "$libdir/libtamsel.so" | awk '/SONAME/ { print $2 }')
[ "$soname" = "libtamsel.so.1" ] || { echo "SONAME is '$soname'"; exit 1; }
# The GStreamer plugin, when built, goes into GStreamer's plugin folder.
if [ -e "$build/src/gstreamer/libgsttamsel.so" ]; then
  [ -e "$libdir/gstreamer-1.0/libgsttamsel.so" ] || { echo "no GStreamer plugin in $libdir/gstreamer-1.0"; exit 1; }
fi

# The player, when built, with its manual page and completion.
if [ -e "$build/tamselplay" ]; then
  for file in bin/tamselplay share/man/man1/tamselplay.1 share/bash-completion/completions/tamselplay; do
    [ -e "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
  done
fi

# C, through pkg-config, linked statically so it runs without a library path.
export PKG_CONFIG_PATH="$libdir/pkgconfig"
cc -std=c99 -Wall -Wextra -Werror -o "$work/render_c" "$source/examples/library/render.c" \
  $(pkg-config --cflags tamsel) "$libdir/libtamsel.a" $(pkg-config --libs-only-l --static tamsel | sed 's/-ltamsel //')
"$work/render_c" "$source/examples/short.tsm" > "$work/c.txt"
grep -q "^1276800 frames, 26.600 s" "$work/c.txt" || { cat "$work/c.txt"; exit 1; }
grep -q "^rendered 1276800 frames" "$work/c.txt" || { cat "$work/c.txt"; exit 1; }

# C, through CMake in a project that enables only C, against the static
# library: its link interface brings the C++ runtime the C compiler leaves
# out. The game example plays the short song endlessly for 50 s: it loops
# back at 26.6 s and at 46.8 s.
mkdir "$work/c-cmake"
cat > "$work/c-cmake/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.25)
project(tamsel_c_example LANGUAGES C)
set(CMAKE_C_STANDARD 99)
find_package(tamsel 1.0 REQUIRED)
add_executable(render_c "$source/examples/library/render.c")
add_executable(game "$source/examples/library/game.c")
target_link_libraries(render_c PRIVATE tamsel::tamsel_static)
target_link_libraries(game PRIVATE tamsel::tamsel_static)
EOF
cmake -S "$work/c-cmake" -B "$work/c-cmake/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/c-cmake/build" >/dev/null
"$work/c-cmake/build/render_c" "$source/examples/short.tsm" > "$work/c-cmake.txt"
cmp "$work/c.txt" "$work/c-cmake.txt" || { cat "$work/c-cmake.txt"; exit 1; }
"$work/c-cmake/build/game" "$source/examples/short.tsm" 50 > "$work/game.txt"
[ "$(grep -c 'loops back' "$work/game.txt")" = 2 ] || { cat "$work/game.txt"; exit 1; }
grep -q "^  0:46.810  pass 2  record   64 " "$work/game.txt" || { cat "$work/game.txt"; exit 1; }

# C++, through CMake, against the shared library.
cmake -S "$source/examples/library" -B "$work/cpp" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cpp" >/dev/null
LD_LIBRARY_PATH="$libdir" "$work/cpp/render_cpp" "$source/examples/short.tsm" 1 > "$work/cpp.txt"
grep -q "loops back at frame" "$work/cpp.txt" || { cat "$work/cpp.txt"; exit 1; }
grep -q "library $version" "$work/cpp.txt" || { cat "$work/cpp.txt"; exit 1; }
echo "installed, and the examples built and ran against it (C also from a C-only CMake project)"
