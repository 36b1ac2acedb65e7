# Shared by the MinGW toolchain files: one self-contained console exe, with
# no runtime DLLs to ship beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
