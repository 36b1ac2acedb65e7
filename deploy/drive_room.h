// Whether the volume of a home has room for the files copied into it.
#pragma once

#include <cstddef>

// The bytes that copying the source tree into home replaces: for each file
// of the tree, the room the file already at the same place below home (an
// earlier install's) takes, rounded up to the allocation unit. 0 when home
// does not exist.
unsigned long long measure_replaced(const char* source, const char* home,
                                    unsigned long long allocation_unit);

// Stores the nearest folder of the resolved path that exists: the path
// itself, or the closest folder above it. False when not even its root
// exists, or it won't fit.
bool nearest_existing_folder(const char* path, char* folder, std::size_t capacity);
