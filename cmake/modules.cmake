# The layers of the tree are CMake targets, and each target's headers can be
# included only by the targets that link it. A module's headers are included
# as "MODULE/name.h"; the folder that makes that path work holds a link to
# src/MODULE and nothing else, so a target sees exactly the modules it links.
function(tamsel_module_headers target module)
  set(root ${CMAKE_BINARY_DIR}/module_include/${module})
  if(NOT EXISTS ${root}/${module})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${module} ${root}/${module} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
