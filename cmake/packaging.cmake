# Release archives, made by CPack (`cpack` in the build folder): one folder
# with the tool (and the player, when it is built), the README, the
# licence, the manuals as text and the demo song. The Windows installer
# (cmake/windows_installer.cmake) holds the same files.
#   Windows (cross build, cmake/mingw-w64.cmake): tamselexport-VERSION-win64.zip
#   Linux:                                        tamselexport-VERSION-linux-x86_64.tar.gz
# These files belong to a component of their own that a plain
# `cmake --install` leaves out, so installing into a prefix is unchanged.
if(NOT TAMSEL_TOOL)
  return()
endif()

set(TAMSEL_ARCHIVE_COMPONENT release_archive)

# Windows users open the text files by double-click, so they get .txt names.
if(WIN32)
  set(TAMSEL_README_NAME README.txt)
  set(TAMSEL_LICENSE_NAME LICENSE.txt)
else()
  set(TAMSEL_README_NAME README.md)
  set(TAMSEL_LICENSE_NAME LICENSE)
endif()

install(TARGETS tamselexport RUNTIME DESTINATION .
        COMPONENT ${TAMSEL_ARCHIVE_COMPONENT} EXCLUDE_FROM_ALL)
if(TARGET tamselplay)
  install(TARGETS tamselplay RUNTIME DESTINATION .
          COMPONENT ${TAMSEL_ARCHIVE_COMPONENT} EXCLUDE_FROM_ALL)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION . RENAME ${TAMSEL_README_NAME}
        COMPONENT ${TAMSEL_ARCHIVE_COMPONENT} EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME ${TAMSEL_LICENSE_NAME}
        COMPONENT ${TAMSEL_ARCHIVE_COMPONENT} EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_SOURCE_DIR}/examples/demo.tsm DESTINATION examples
        COMPONENT ${TAMSEL_ARCHIVE_COMPONENT} EXCLUDE_FROM_ALL)

# The manuals: the pages themselves for Linux, and as text for everyone when
# groff is there to format them; without either the README is the manual.
# The player's page comes with the player.
find_program(TAMSEL_GROFF groff)
set(TAMSEL_MANUAL_TEXTS "")
set(TAMSEL_ARCHIVE_PAGES tamselexport)
if(TARGET tamselplay)
  list(APPEND TAMSEL_ARCHIVE_PAGES tamselplay)
endif()
foreach(page IN LISTS TAMSEL_ARCHIVE_PAGES)
  if(EXISTS ${CMAKE_BINARY_DIR}/man/${page}.1)
    set(page_file ${CMAKE_BINARY_DIR}/man/${page}.1)
  elseif(EXISTS ${CMAKE_SOURCE_DIR}/man/${page}.1)
    set(page_file ${CMAKE_SOURCE_DIR}/man/${page}.1)
  else()
    continue()
  endif()
  if(NOT WIN32)
    install(FILES ${page_file} DESTINATION .
            COMPONENT ${TAMSEL_ARCHIVE_COMPONENT} EXCLUDE_FROM_ALL)
  endif()
  if(NOT TAMSEL_GROFF)
    continue()
  endif()
  set(text ${CMAKE_BINARY_DIR}/${page}-manual.txt)
  add_custom_command(
    OUTPUT ${text}
    COMMAND ${CMAKE_COMMAND} -DGROFF=${TAMSEL_GROFF} -DINPUT=${page_file} -DOUTPUT=${text}
            -P ${CMAKE_SOURCE_DIR}/cmake/man_to_text.cmake
    DEPENDS ${page_file} ${CMAKE_SOURCE_DIR}/cmake/man_to_text.cmake
    COMMENT "Formatting the ${page} manual as text")
  list(APPEND TAMSEL_MANUAL_TEXTS ${text})
  install(FILES ${text} DESTINATION .
          COMPONENT ${TAMSEL_ARCHIVE_COMPONENT} EXCLUDE_FROM_ALL)
endforeach()
if(TAMSEL_MANUAL_TEXTS)
  add_custom_target(tamsel_manual_text ALL DEPENDS ${TAMSEL_MANUAL_TEXTS})
endif()

set(CPACK_PACKAGE_NAME tamselexport)
set(CPACK_PACKAGE_VENDOR "The tamselexport developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Renders TSM tracker songs to audio files")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
else()
  set(CPACK_GENERATOR TGZ)
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" CPACK_SYSTEM_NAME)
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${TAMSEL_ARCHIVE_COMPONENT})
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows_installer.cmake)
endif()
