// Translation between the program's Windows paths and host paths, the way
// Wine maps drives: drive X is the host folder named by SETUP_DRIVE_X, and
// Z: is the host root unless SETUP_DRIVE_Z names another folder.
#pragma once

#include <cstddef>

namespace host_path {

// Stores the host path for a Windows path, with Windows' rules: "." and
// ".." are resolved by name and ".." never climbs above a drive's root
// (C:\..\.. is C:\); "\dir" is rooted on the working directory's drive;
// "dir" is resolved from the working directory, and "X:dir" too when that
// is on drive X (else from X's root). A working directory on no drive
// leaves "dir" relative to it and "\dir" unmapped. False for an unmapped
// drive, a network path, or a result that would not fit.
bool to_host(const char* windows_path, char* host, std::size_t capacity);

// Stores the Windows form of an absolute host path: under the drive whose
// folder holds it (the longest match), else under Z:. False if it won't fit.
bool to_windows(const char* host, char* windows_path, std::size_t capacity);

}  // namespace host_path
