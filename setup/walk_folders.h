// The two walks over folders: down a folder tree, entry by entry, and down
// a path, folder by folder from its root.
#pragma once

#include <functional>

#include "platform/platform.h"

// A folder of the tree, as the walk reads it.
struct TreeLevel {
    const char* folder;                    // its full path
    const char* mirror;                    // the same place below the mirror; null: no mirror
    int files = 0;                         // its entries that are no folders, when counted
    int done = 0;                          // the visit's own count for it
    platform::HomeFolder* held = nullptr;  // a folder the visit holds open for it
};

// What the walk meets. Every folder it enters, the root too, ends with
// left or, when it cannot be enumerated, with unreadable.
enum class TreeStep {
    file,        // an entry that is no folder
    folder,      // a folder: entered when the visit goes on
    left,        // every entry of the level visited
    unreadable,  // the level could not be enumerated
    too_long,    // an entry whose path, or mirror path, would not fit the path limit
    not_exact,   // an entry whose name the system cannot spell: no path is made from it
};

// What the visit answers: skip leaves a folder unentered, stop ends the walk.
enum class WalkOn { go_on, skip, stop };

struct TreeVisit {
    TreeStep step;
    TreeLevel* level;                       // the folder read (left, unreadable: the one ending)
    const platform::DirectoryEntry* entry;  // the entry met; null for left and unreadable
    const char* path;                       // level\name; null unless a file or folder
    const char* mirror;                     // the same below the mirror; null without one
    TreeLevel* inner;                       // a folder's level, should it be entered
};

using TreeVisitor = std::function<WalkOn(const TreeVisit&)>;

// Walks the tree below root->folder depth first, each level in the order of
// its enumeration ("." and ".." left out), and shows the visit every entry
// and the end of every level. With count_files each level is enumerated
// twice, and its files are counted before its first entry is shown. False
// when the visit stopped the walk.
bool walk_tree(TreeLevel* root, platform::EntrySizes sizes, bool count_files,
               const TreeVisitor& visit);

// Where a folder of a path stands.
enum class PathPlace { root, above, path };

using PathVisitor = std::function<bool(const char* folder, bool exists, PathPlace place)>;

// Visits the folders of a resolved full path from the root down: the root
// (as path_root gives it), then each folder below it down to the path
// itself or to the first folder that does not exist, which is the last one
// visited. A visit returning false ends the walk. False when the path is
// not full or won't fit.
bool walk_path(const char* path, const PathVisitor& visit);
