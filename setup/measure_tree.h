// The length of the longest path in a folder tree and the size of its
// files, measured before anything is copied, so that a destination it
// would not fit under, or whose drive lacks room for it, can be refused.
#pragma once

#include <cstddef>

// Allocation units of 512 bytes to 2 MiB, the powers of two in between.
constexpr int ROUNDED_UNITS = 13;

// The room a tree's files take: their sizes, and their sizes each rounded
// up to every allocation unit a volume may have.
struct TreeSize {
    unsigned long long bytes = 0;
    unsigned long long files = 0;
    unsigned long long rounded[ROUNDED_UNITS] = {};
};

// The bytes the files take on a volume with this allocation unit (1 when it
// is not known): each file rounded up to a whole unit.
unsigned long long room_on_volume(const TreeSize& size, unsigned long long allocation_unit);

// Stores in *longest the length of the longest path below the folder,
// relative to it (for folder\a\b.txt: 7), over every file and folder in the
// tree; 0 when the folder is empty. Stores in *size the sizes of its files.
// False when some folder of the tree cannot be enumerated, or some path in
// it cannot be named within the path limit (259 characters): the tree cannot
// be measured then, and the reason is printed and logged. Given inner (a
// full path), measures that folder too into *inner_longest and *inner_size,
// as on its own: on the same walk when inner lies in the tree, so its
// entries are read once.
bool measure_tree(const char* folder, std::size_t* longest, TreeSize* size,
                  const char* inner = nullptr, std::size_t* inner_longest = nullptr,
                  TreeSize* inner_size = nullptr);

// The bytes that copying the source tree into home replaces: for each file
// of the tree, the room the file already at the same place below home (an
// earlier install's) takes, rounded up to the allocation unit. 0 when home
// does not exist.
unsigned long long measure_replaced(const char* source, const char* home,
                                    unsigned long long allocation_unit);
