// Whether the drive of a home has room for the files copied into it.
#pragma once

// The bytes that copying the source tree into home replaces: for each file
// of the tree, the size of the file already at the same place below home
// (an earlier install's). 0 when home does not exist.
unsigned long long measure_replaced(const char* source, const char* home);

// True when both full paths lie on one drive or network share.
bool on_same_drive(const char* first, const char* second);

// True when path lies inside folder (below it, not the folder itself).
bool lies_inside(const char* path, const char* folder);
