# Shared by the MinGW toolchain files: one self-contained console exe, with
# no runtime DLLs to ship beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# The same sources give the same exe, wherever and whenever they are built:
# no link time in the PE header, and source paths relative to the root.
get_filename_component(SETUP_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--no-insert-timestamp")
set(CMAKE_CXX_FLAGS_INIT "-ffile-prefix-map=${SETUP_SOURCE_ROOT}/=")
