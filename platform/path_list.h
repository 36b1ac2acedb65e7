// A list of folders as cmd reads PATH: the entries are separated by ';'
// outside double quotes, and the quotes are not part of an entry
// ("C:\my;bin" is the one folder C:\my;bin).
#pragma once

#include <cstddef>

namespace platform {

// Stores the entry at the start of the list in the field, without its
// quotes, and returns where the next one starts. An entry too long for the
// field is stored empty, never cut: a cut folder would name another one.
inline const char* next_list_entry(const char* list, char* field, std::size_t capacity) {
    std::size_t used = 0;
    bool fits = true;
    bool quoted = false;
    const char* p = list;
    for (; *p != '\0' && (quoted || *p != ';'); ++p) {
        if (*p == '"') {
            quoted = !quoted;
        } else if (used + 1 < capacity) {
            field[used++] = *p;
        } else {
            fits = false;
        }
    }
    field[fits ? used : 0] = '\0';
    return *p == ';' ? p + 1 : p;
}

}  // namespace platform
