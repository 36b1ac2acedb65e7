# The ci preset's tree builds the other presets, each in a tree of its own
# below it (build/ci/<preset>), and packs the operator's zips from those
# trees into build/ci/package. A developer's build/<preset> is never touched.
#
# Each tree is configured from its preset once (again only when the presets
# change); after that its own build regenerates it when its CMakeLists
# change, and a build that finds it up to date does nothing. The zips are
# packed only when an input changed: either exe, the distribution, the
# packing script or the sources' time.
set(SETUP_PRESET_JOBS 2 CACHE STRING "Parallel jobs of each preset tree's build")
set(stamps ${CMAKE_CURRENT_BINARY_DIR}/preset-trees)
file(MAKE_DIRECTORY ${stamps})
foreach(preset win32 win64 sanitize)
  set(tree ${CMAKE_BINARY_DIR}/${preset})
  # The Windows trees of this tree build their test exes too.
  set(options)
  if(NOT preset STREQUAL "sanitize")
    set(options -DSETUP_TESTS=ON)
  endif()
  add_custom_command(OUTPUT ${stamps}/${preset}.configured
    COMMAND ${CMAKE_COMMAND} --preset ${preset} -B ${tree} ${options}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamps}/${preset}.configured
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    DEPENDS ${PROJECT_SOURCE_DIR}/CMakePresets.json
    COMMENT "Configuring the ${preset} preset in ${tree}"
    USES_TERMINAL VERBATIM)
  set(byproducts)
  if(NOT preset STREQUAL "sanitize")
    set(byproducts ${tree}/setup.exe)
  endif()
  add_custom_target(build_${preset} ALL
    COMMAND ${CMAKE_COMMAND} --build ${tree} --parallel ${SETUP_PRESET_JOBS}
    DEPENDS ${stamps}/${preset}.configured
    BYPRODUCTS ${byproducts}
    COMMENT "Building the ${preset} preset in ${tree}"
    USES_TERMINAL VERBATIM)
endforeach()

# The sources' time, which every zip entry carries: rewritten only when it
# changes.
set(epoch ${stamps}/source-date-epoch)
add_custom_target(source_date_epoch
  COMMAND ${CMAKE_COMMAND} -DSOURCE_ROOT=${PROJECT_SOURCE_DIR} -DOUT=${epoch}
          -P ${PROJECT_SOURCE_DIR}/cmake/source_date_epoch.cmake
  BYPRODUCTS ${epoch}
  VERBATIM)

set(package ${CMAKE_BINARY_DIR}/package)
file(GLOB_RECURSE dist_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/dist/*)
add_custom_command(OUTPUT ${package}/SHA256SUMS
    ${package}/quarndel-setup-${PROJECT_VERSION}-win32.zip
    ${package}/quarndel-setup-${PROJECT_VERSION}-win64.zip
  COMMAND bash tools/package.sh --builds ${CMAKE_BINARY_DIR} --out ${package}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  DEPENDS ${CMAKE_BINARY_DIR}/win32/setup.exe ${CMAKE_BINARY_DIR}/win64/setup.exe ${epoch}
          ${PROJECT_SOURCE_DIR}/tools/package.sh ${PROJECT_SOURCE_DIR}/CMakeLists.txt ${dist_files}
  COMMENT "Packing the operator's zips in ${package}"
  VERBATIM)
add_custom_target(operator_zips ALL DEPENDS ${package}/SHA256SUMS)
add_dependencies(operator_zips build_win32 build_win64 source_date_epoch)
