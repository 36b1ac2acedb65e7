// Whether the folders that already exist on a home's path let anyone but
// the administrators change, rename or replace what the install puts there.
#pragma once

#include "platform/platform.h"
#include "setup/setup_parameters.h"

enum class HomeKind { app, data };

struct UnsafeFolder {
    char folder[PATH_CAPACITY];  // control characters spelled <U+XXXX>
    platform::FolderCheck check;
};

// Checks the existing folders of the resolved home's path: the root (or
// share) for delete child, each folder below it down to the parent of the
// first folder the copy makes (or to the home's parent when the home
// exists) by the rule for folders above the install, and an existing home
// by its own rule (APP_HOME's config, install and com folders with it).
// DATA_HOME and the folders above it may let users modify. Returns false
// with the first unsafe folder stored. A folder whose list cannot be read
// is not refused: install.log says so, once per run.
bool home_folders_safe(const char* home, HomeKind kind, UnsafeFolder* unsafe);

// True when the path is the folder or lies below it, whatever names reach
// either: by their text, or where the nearest existing folder of the path
// or of one above it is the folder's nearest existing folder (one volume,
// one file identity) and the names still to be made below each are the
// same (compared as Windows compares names). So two drive letters, a short
// name, a mount point or a link for one folder make one home. Both paths
// are resolved full paths, existing or not.
bool home_is_within(const char* path, const char* folder);

// Stores the nearest existing folder of the resolved path (the path
// itself, or the closest folder above it) and returns what follows it in
// the path: the names still to be made, "" when the path exists. Null when
// not even its root exists, or it won't fit.
const char* nearest_existing_folder(const char* path, char* folder, std::size_t capacity);

// Room for the refusal the home_folders_safe below words.
constexpr std::size_t UNSAFE_FOLDER_TEXT_CAPACITY = 768;

// home_folders_safe, wording the refusal: for an unsafe folder, composes who
// holds its keys and what the operator can do into the field, as sentences
// ending in a period, without line breaks.
bool home_folders_safe(const char* home, HomeKind kind, char* field, std::size_t capacity);
