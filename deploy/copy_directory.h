// Recursive copy of a folder tree with a progress bar.
#pragma once

// Copies every file and folder below source into destination, creating the
// destination and its parents, replacing existing files, logging every file,
// never writing through a link met below the destination (it is replaced by
// a real folder or file and that is reported, or the entry is refused),
// and drawing the progress bar of the folder being copied on the row (below
// 0: no bar). A folder met during the copy that is the destination itself
// (a destination inside the source) is skipped and logged. Returns the
// number of errors (folders not created or read, files not copied). An entry
// whose name the system cannot give exactly in 8-bit text is not copied, and
// a folder of that kind not entered: each is reported as an error.
int copy_directory(const char* source, const char* destination, long row);
