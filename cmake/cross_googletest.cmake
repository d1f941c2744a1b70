# A cross build finds no GoogleTest for its target among the host's
# libraries, so it builds one from the source tree Debian ships (package
# googletest, in /usr/src/googletest); find_package(GTest) then gives these
# targets. No download: the source must be on the machine.
if(CMAKE_CROSSCOMPILING AND TAMSEL_TESTS)
  set(TAMSEL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
      "GoogleTest source tree, built for the target when cross-compiling")
  if(NOT EXISTS ${TAMSEL_GOOGLETEST_SOURCE}/googletest/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest source in ${TAMSEL_GOOGLETEST_SOURCE}: "
                        "apt-get install googletest, or set TAMSEL_GOOGLETEST_SOURCE")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  include(FetchContent)
  FetchContent_Declare(GTest SOURCE_DIR ${TAMSEL_GOOGLETEST_SOURCE} OVERRIDE_FIND_PACKAGE)
  FetchContent_MakeAvailable(GTest)
  # Third-party code: built without the project's warning flags.
  set_target_properties(gtest gtest_main PROPERTIES COMPILE_OPTIONS "-w")
endif()
