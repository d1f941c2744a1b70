# cmake --install: the tool with its manual page, its bash, zsh and fish
# completions and its AppStream metainfo, the song file's MIME type, the
# library (static and shared), its headers, a CMake package
# (find_package(tamsel) gives tamsel::tamsel, the shared library, and
# tamsel::tamsel_static) and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Where the shells look for completions differs between systems (Debian's
# zsh reads vendor-completions); these defaults are the shells' own.
set(TAMSEL_ZSH_COMPLETION_DIR ${CMAKE_INSTALL_DATADIR}/zsh/site-functions
    CACHE STRING "Where the zsh completion is installed")
set(TAMSEL_FISH_COMPLETION_DIR ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d
    CACHE STRING "Where the fish completion is installed")

set(TAMSEL_LIBRARY_TARGETS tamsel_static)
if(TAMSEL_SHARED)
  list(APPEND TAMSEL_LIBRARY_TARGETS tamsel_shared)
endif()
install(TARGETS ${TAMSEL_LIBRARY_TARGETS} EXPORT tamselTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/include/tamsel/tamsel.h ${CMAKE_SOURCE_DIR}/include/tamsel/tamsel.hpp
  ${CMAKE_BINARY_DIR}/generated/include/tamsel/tamsel_version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tamsel)
if(TAMSEL_TOOL)
  install(TARGETS tamselexport RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${TAMSEL_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/completion/tamselexport.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tamselexport)
  install(FILES ${CMAKE_SOURCE_DIR}/completion/_tamselexport DESTINATION ${TAMSEL_ZSH_COMPLETION_DIR})
  install(FILES ${CMAKE_SOURCE_DIR}/completion/tamselexport.fish DESTINATION ${TAMSEL_FISH_COMPLETION_DIR})
  install(FILES ${CMAKE_SOURCE_DIR}/desktop/org.tamsel.tamselexport.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
# The song file's type for the desktop, with every front end: the tool, the
# GStreamer plugin and the player open it.
install(FILES ${CMAKE_SOURCE_DIR}/desktop/tamsel.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
# The player's desktop entry, which offers it for song files, only with the
# player.
if(TARGET tamselplay)
  install(FILES ${CMAKE_SOURCE_DIR}/desktop/org.tamsel.tamselplay.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()
# The player, where SDL2 let the build make it.
if(TARGET tamselplay)
  install(TARGETS tamselplay RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${TAMSEL_PLAYER_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/completion/tamselplay.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tamselplay)
endif()

set(TAMSEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tamsel)
install(EXPORT tamselTargets NAMESPACE tamsel:: DESTINATION ${TAMSEL_CMAKE_DIR})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/tamselConfig.cmake.in
  ${CMAKE_BINARY_DIR}/tamselConfig.cmake INSTALL_DESTINATION ${TAMSEL_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/tamselConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/tamselConfig.cmake ${CMAKE_BINARY_DIR}/tamselConfigVersion.cmake
  DESTINATION ${TAMSEL_CMAKE_DIR})

# The pkg-config file finds the prefix from where it lies, so it stays right
# for any --prefix given at install time.
file(RELATIVE_PATH TAMSEL_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${CMAKE_SOURCE_DIR}/cmake/tamsel.pc.in ${CMAKE_BINARY_DIR}/tamsel.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/tamsel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
