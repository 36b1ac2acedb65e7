// The directory questions.
#pragma once

#include <cstddef>

#include "setup/home_folders.h"
#include "setup/measure_tree.h"

// The rules of one directory question, each set by name.
struct DirectoryRules {
    bool reject_special = false;                    // refuse blanks and ampersands
    const char* refused_characters = nullptr;       // further characters to refuse
    bool (*root_fits)(const char* root) = nullptr;  // everything built from the root fits
    // The home that receives a tree of files: its name in messages, what
    // the run appends to the root to make it ("" or "\data"), and the
    // longest path of the tree below it (0: no tree).
    const char* home_name = "";
    const char* home_suffix = "";
    std::size_t longest_below_home = 0;
    // The room the home's volume must have: the tree copied from source
    // (null: no check) of that size, less what it replaces there.
    const char* source = nullptr;
    const TreeSize* size = nullptr;
    // The home asked for before (APP_HOME, when asking for DATA_HOME; null:
    // none): this home must neither be it nor hold it, and its copy counts
    // too when this home lies within it or on its volume, unless this home
    // is its data folder, which its copy fills already.
    const char* earlier_home = nullptr;
    const char* earlier_source = nullptr;
    const TreeSize* earlier_size = nullptr;
    // Which home's rules its existing folders are checked by.
    HomeKind kind = HomeKind::app;
};

// Asks for a directory (with a default) until the answer names an existing
// directory that passes the rules, trims it, and composes the installation
// root from it (make_app_path) into the result field. Each answer is first
// resolved as Windows resolves a full path (resolve_full_path), in the
// answer field, and every test sees the resolved form. An answer is refused
// when a path of the tree would be longer than 259 characters below the
// home made from it, when the home would be the earlier home or hold it,
// when an existing folder of the home's path lets others change, rename or
// replace what is installed there (home_folders_safe), and when the free space of the home's volume
// is known and is less than the copy needs. Returns false at end of input.
bool prompt_directory(const char* message, char* answer, std::size_t answer_capacity,
                      const char* default_value, char* result, std::size_t result_capacity,
                      const char* service, const char* owner, const DirectoryRules& rules);
