// The two walks over folders: down a folder tree, entry by entry, and down
// a path, folder by folder from its root.
#pragma once

#include <functional>

#include "platform/platform.h"

// A folder the tree walk reads, or an entry of one.
struct TreeLevel {
    const char* path;
    const char* mirror;                    // the same place below the mirror; null: no mirror
    int files = 0;                         // a folder's entries that are no folders, if counted
    int done = 0;                          // the visit's own count for the folder
    platform::HomeFolder* held = nullptr;  // a folder the visit holds open for it
};

// What the walk meets. A folder entered, the root too, ends in left or in
// unreadable (its entries could not be read).
enum class TreeStep { file, folder, left, unreadable, too_long, not_exact };

// The visit's answer: skip leaves a folder unentered, stop ends the walk.
enum class WalkOn { go_on, skip, stop };

struct TreeVisit {
    TreeStep step;
    TreeLevel* level;                       // the folder read, or the one ending
    const platform::DirectoryEntry* entry;  // null when a folder ends
    // A file's or folder's paths (a folder's level, if entered). Null when a
    // folder ends, when a path would be too long, and for a name the system
    // cannot spell (not_exact), from which no path may be made.
    TreeLevel* at;
};

using TreeVisitor = std::function<WalkOn(const TreeVisit&)>;

// Walks the tree below level->path depth first, each folder's entries in
// the order of enumeration, "." and ".." left out. With count_files each
// folder is enumerated twice: its files are counted before its first entry
// is visited. False when the visit stopped the walk.
bool walk_tree(TreeLevel* level, platform::EntrySizes sizes, bool count_files,
               const TreeVisitor& visit);

// Where a folder of a path stands.
enum class PathPlace { root, above, path };

// Visits the folders of a resolved full path from the root down: the root
// (as path_root gives it), then each folder below it down to the path
// itself or to the first one that does not exist, the last visited. A visit
// returning false ends the walk. False when the path is not full or too long.
bool walk_path(const char* path,
               const std::function<bool(const char* folder, bool exists, PathPlace place)>& visit);
