# cmake --install: the tool with its manual page and bash completion, the
# library (static and shared), its headers, a CMake package
# (find_package(tamsel) gives tamsel::tamsel, the shared library, and
# tamsel::tamsel_static) and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

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
