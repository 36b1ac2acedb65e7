// The root of a Windows path: the drive or network share it lies on.
#pragma once

#include <cstddef>

namespace platform {

constexpr std::size_t PATH_ROOT_CAPACITY = 260;

// Stores the root of a full path: "C:\" for C:\x\y (or C:), and
// "\\server\share\" for \\server\share\x. False for any other path (a
// relative one, "\\server" alone) or when the root would not fit.
bool path_root(const char* path, char* root, std::size_t capacity);

}  // namespace platform
