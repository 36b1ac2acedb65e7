// Windows text: each line break stored as CR LF, for the log, the scripts
// and redirected output alike.
#pragma once

#include <cstddef>

namespace platform {

// Copies from the text into the buffer, from *used on, each '\n' as "\r\n",
// as far as the buffer holds (a line break is never parted from its CR).
// Returns how many bytes of the text it took; *used grows by what it stored.
inline std::size_t copy_with_crlf(const char* text, std::size_t length, char* buffer,
                                  std::size_t capacity, std::size_t* used) {
    std::size_t taken = 0;
    for (; taken < length; ++taken) {
        std::size_t needed = text[taken] == '\n' ? 2 : 1;
        if (*used + needed > capacity) break;
        if (text[taken] == '\n') buffer[(*used)++] = '\r';
        buffer[(*used)++] = text[taken];
    }
    return taken;
}

}  // namespace platform
