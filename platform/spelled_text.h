// Names from the disk or the system for the console and the log: a control
// character in them must not reach either raw.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace platform {

// Appends the text to the terminated field, each control character (below
// 0x20, and 0x7F) as <U+00XX>, the form used for characters a name cannot
// be spelled with. Cut to fit, never inside one of those; always terminated.
inline void append_spelled(char* field, std::size_t capacity, const char* text) {
    std::size_t used = std::strlen(field);
    for (; *text != '\0'; ++text) {
        const unsigned char c = static_cast<unsigned char>(*text);
        char piece[12] = {static_cast<char>(c), '\0'};
        if (c < 0x20 || c == 0x7F) std::snprintf(piece, sizeof piece, "<U+%04X>", c);
        const std::size_t length = std::strlen(piece);
        if (used + length >= capacity) break;
        std::memcpy(field + used, piece, length + 1);
        used += length;
    }
}

// Stores the text in the field as append_spelled appends it.
inline void spell_control_characters(char* field, std::size_t capacity, const char* text) {
    if (capacity == 0) return;
    field[0] = '\0';
    append_spelled(field, capacity, text);
}

}  // namespace platform
