# Cross-compiles for 64-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64-posix, the flavour with std::thread):
#
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# The C and C++ runtimes and winpthread are linked statically, so the .exe
# and the DLL need nothing beyond what every Windows has. On a Linux host
# with Wine, programs built here (the tests) run through scripts/wine-run.sh,
# with a Wine prefix of the build folder's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAMSEL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAMSEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAMSEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAMSEL_MINGW_PREFIX}-windres)

# Libraries and headers come from the MinGW-w64 sysroot and, given
# -DTAMSEL_CODECS=PREFIX, from the codec libraries that
# scripts/build-codecs.sh built there; programs (the build's own tools) from
# the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TAMSEL_MINGW_PREFIX} ${TAMSEL_CODECS})
# The compiler checks read this file again, in the same process: without
# the prefix there, they would reset the environment below.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAMSEL_CODECS)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config too: the host's .pc files (libsndfile, libebur128) describe
# Linux libraries. --static: the codecs are static libraries, so linking
# needs the libraries they use as well.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${TAMSEL_MINGW_PREFIX}/lib/pkgconfig)
if(TAMSEL_CODECS)
  set(ENV{PKG_CONFIG_LIBDIR} "${TAMSEL_CODECS}/lib/pkgconfig:$ENV{PKG_CONFIG_LIBDIR}")
endif()
set(ENV{PKG_CONFIG_PATH} "")
set(PKG_CONFIG_ARGN --static)

# -static makes libgcc, libstdc++ and winpthread part of the binary.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine on a Linux host.
if(CMAKE_HOST_SYSTEM_NAME STREQUAL "Linux")
  set(CMAKE_CROSSCOMPILING_EMULATOR
      "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh;${CMAKE_BINARY_DIR}/wine-prefix")
endif()
