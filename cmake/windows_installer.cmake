# The Windows installer, tamsel-VERSION-setup.exe (windows/installer.nsi),
# made by the `installer` target with NSIS's makensis (Debian's nsis): the
# release archive's files are installed stripped into installer-stage and
# packed from there, so the installer and the zip hold the same files.
# Included by cmake/packaging.cmake for Windows builds; without makensis
# the target is left out and says so.
find_program(TAMSEL_MAKENSIS makensis)
if(NOT TAMSEL_MAKENSIS)
  message(STATUS "No makensis (Debian package nsis): the Windows installer is not built")
  return()
endif()

set(TAMSEL_INSTALLER ${CMAKE_BINARY_DIR}/tamsel-${PROJECT_VERSION}-setup.exe)
set(TAMSEL_INSTALLER_STAGE ${CMAKE_BINARY_DIR}/installer-stage)
set(TAMSEL_INSTALLER_SCRIPT ${CMAKE_SOURCE_DIR}/windows/installer.nsi)
set(TAMSEL_INSTALLER_INPUTS tamselexport ${TAMSEL_MANUAL_TEXTS} ${TAMSEL_INSTALLER_SCRIPT}
    ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/examples/demo.tsm)
if(TARGET tamselplay)
  list(APPEND TAMSEL_INSTALLER_INPUTS tamselplay)
endif()
add_custom_command(
  OUTPUT ${TAMSEL_INSTALLER}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${TAMSEL_INSTALLER_STAGE}
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --component ${TAMSEL_ARCHIVE_COMPONENT}
          --prefix ${TAMSEL_INSTALLER_STAGE} --strip
  COMMAND ${TAMSEL_MAKENSIS} -V2 -WX -DVERSION=${PROJECT_VERSION} -DSTAGE_DIR=${TAMSEL_INSTALLER_STAGE}
          -DOUTFILE=${TAMSEL_INSTALLER} ${TAMSEL_INSTALLER_SCRIPT}
  DEPENDS ${TAMSEL_INSTALLER_INPUTS}
  COMMENT "Making the installer tamsel-${PROJECT_VERSION}-setup.exe"
  VERBATIM)
add_custom_target(installer DEPENDS ${TAMSEL_INSTALLER})
