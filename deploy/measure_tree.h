// The length of the longest path in a folder tree and the size of its
// files, measured before anything is copied, so that a destination it
// would not fit under, or whose drive lacks room for it, can be refused.
#pragma once

#include <cstddef>

// Stores in *longest the length of the longest path below the folder,
// relative to it (for folder\a\b.txt: 7), over every file and folder in the
// tree; 0 when the folder is empty. Stores in *bytes the sizes of all its
// files added up. False when some folder of the tree
// cannot be enumerated, or some path in it cannot be named within the path
// limit (259 characters): the tree cannot be measured then, and the reason
// is printed and logged.
bool measure_tree(const char* folder, std::size_t* longest, unsigned long long* bytes);
