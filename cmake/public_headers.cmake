# Every library's public headers are reachable, as <folder>/<name>.h, from
# one include root in the build tree that holds links to them and nothing
# else. A header that is not listed stays private to its folder: the
# backends' own headers, above all, cannot be included from outside.
set(SETUP_INCLUDE_ROOT ${PROJECT_BINARY_DIR}/include)

function(setup_public_headers target)
  foreach(header IN LISTS ARGN)
    set(source ${CMAKE_CURRENT_SOURCE_DIR}/${header})
    if(NOT EXISTS ${source})
      message(FATAL_ERROR "${target}: no public header ${source}")
    endif()
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${source})
    get_filename_component(folder ${SETUP_INCLUDE_ROOT}/${relative} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${source} ${SETUP_INCLUDE_ROOT}/${relative} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${SETUP_INCLUDE_ROOT})
  else()
    target_include_directories(${target} PUBLIC ${SETUP_INCLUDE_ROOT})
  endif()
endfunction()
