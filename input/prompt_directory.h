// The directory questions.
#pragma once

#include <cstddef>

struct DirectoryRules {
    bool reject_special;                  // refuse blanks and ampersands
    const char* refused_characters;       // further characters to refuse (or null)
    bool (*root_fits)(const char* root);  // everything built from the root fits
    // The home that receives a tree of files: its name in messages, what
    // the run appends to the root to make it ("" or "\data"), and the
    // longest path of the tree below it (0: no tree).
    const char* home_name;
    const char* home_suffix;
    std::size_t longest_below_home;
    // The room the home's drive must have: the tree copied from source
    // (null: no check) of that many bytes, less what it replaces there; and
    // the earlier home's copy too (earlier_home null: none), when the two
    // homes are on one drive and this one does not lie inside the other.
    const char* source;
    unsigned long long bytes;
    const char* earlier_home;
    const char* earlier_source;
    unsigned long long earlier_bytes;
};

// Asks for a directory (with a default) until the answer names an existing
// directory that passes the rules, trims it, and composes the installation
// root from it (make_app_path) into the result field. An answer is refused
// when a path of the tree would be longer than 259 characters below the
// home made from it, and when the free space of the home's drive is known
// and is less than the copy needs. Returns false at end of input.
bool prompt_directory(const char* message, char* answer, std::size_t answer_capacity,
                      const char* default_value, char* result, std::size_t result_capacity,
                      const char* service, const char* owner, const DirectoryRules& rules);
