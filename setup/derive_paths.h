// The text rules that derive the installation paths from the answers.
// Pure text: no console, files or database.
#pragma once

#include <cstddef>

// Composes the installation root: directory + service + "\" + owner when the
// directory ends in a backslash, else directory + "\" + service + "\" + owner.
// Bounded; true when the whole root fit.
bool make_app_path(const char* directory, char* output, std::size_t capacity, const char* service,
                   const char* owner);

// Copies source to destination replacing every occurrence of pattern
// (leftmost first, never overlapping, replacements never rescanned).
// Stores at most capacity - 1 characters; true when the whole result fit.
bool replace_substring(const char* source, char* destination, std::size_t capacity,
                       const char* pattern, const char* replacement);

// The SQL*Plus form of a path for scripts that SET ESCAPE ON: every "\"
// doubled, then every "&" preceded by "\". True when it fit.
bool escape_for_sqlplus(const char* path, char* output, std::size_t capacity);

// "//localhost:" + port + "/" + service, bounded. True when it fit.
bool make_connection_string(const char* port, const char* service, char* output,
                            std::size_t capacity);

// True when APP_HOME = root leaves room for everything later built from it:
// its SQL form, the generated script paths, the SQL*Plus command line and
// the shortcut's target.
bool app_home_fits(const char* root);

// True when DATA_HOME = root + "\data" and its SQL form fit their fields.
bool data_home_fits(const char* root);
