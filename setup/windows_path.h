// Windows paths as Windows itself resolves and compares them: the one place
// of the program that resolves . and .. and decides whether two paths name
// the same folder or one lies within another (a root is the platform's).
//
// Names are compared without regard to letter case, by the upper-case form
// of each character of the ANSI code page that the platform gives.
#pragma once

#include <cstddef>

#include "platform/path_root.h"

// True for "." and "..", which every folder's enumeration lists.
bool is_dot_entry(const char* name);

using platform::root_length;  // the length of a full path's root, 0 for no full path

// Stores the root of a full path, always ending in a backslash ("C:\",
// "\\server\share\"). False when the path is not full or the root won't fit.
bool path_root(const char* path, char* root, std::size_t capacity);

// Resolves a full path in place as the system's path normalisation does
// (GetFullPathName): / is taken as \, runs of separators after the root
// become one, . segments go and .. takes the segment before it away (never
// the root), a segment ending in a single period loses it, the last segment
// loses its trailing periods and spaces, and the drive letter is upper-cased.
// A trailing backslash stays. The path never gets longer. Slashes are taken
// as backslashes also when the path is not full; it is then left otherwise
// unchanged and the result is false.
bool resolve_full_path(char* path);

// True when both resolved paths name the same place (a trailing backslash
// aside).
bool same_path(const char* first, const char* second);

// True when the resolved path is the folder or lies below it.
bool path_is_within(const char* path, const char* folder);

// True when the resolved path lies below the folder (not the folder itself).
bool path_lies_below(const char* path, const char* folder);

// True when both full paths have the same root (drive or share).
bool same_root(const char* first, const char* second);

// Stores the folder that holds the resolved path: C:\a for C:\a\b, C:\ for
// C:\a. False for a root, which has none.
bool parent_folder(const char* path, char* parent, std::size_t capacity);
