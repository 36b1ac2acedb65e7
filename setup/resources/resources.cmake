# The Windows resources of setup.exe: an application manifest for this
# build's architecture, the version information and the icon, compiled by
# the toolchain's windres. Included from setup/CMakeLists.txt.
set(SETUP_RESOURCE_SOURCE ${CMAKE_CURRENT_LIST_DIR})
set(SETUP_RESOURCE_BINARY ${CMAKE_CURRENT_BINARY_DIR}/resources)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SETUP_MANIFEST_ARCHITECTURE amd64)
else()
  set(SETUP_MANIFEST_ARCHITECTURE x86)
endif()
set(SETUP_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
set(SETUP_MANIFEST_FILE ${SETUP_RESOURCE_BINARY}/setup.exe.manifest)
set(SETUP_ICON_FILE ${SETUP_RESOURCE_SOURCE}/setup.ico)

configure_file(${SETUP_RESOURCE_SOURCE}/setup.exe.manifest.in ${SETUP_MANIFEST_FILE} @ONLY)
configure_file(${SETUP_RESOURCE_SOURCE}/setup.rc.in ${SETUP_RESOURCE_BINARY}/setup.rc @ONLY)

target_sources(setup PRIVATE ${SETUP_RESOURCE_BINARY}/setup.rc)
# windres reads these through the .rc; rebuild when they change.
set_source_files_properties(${SETUP_RESOURCE_BINARY}/setup.rc PROPERTIES
  OBJECT_DEPENDS "${SETUP_MANIFEST_FILE};${SETUP_ICON_FILE}")
