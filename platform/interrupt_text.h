// The closing entry and notice of a run ended by Ctrl+C, as both backends'
// handlers keep them: in fixed fields filled beforehand, since a handler
// may neither allocate nor format.
#pragma once

#include <cstddef>
#include <cstring>

namespace platform {

constexpr std::size_t INTERRUPT_TEXT_CAPACITY = 512;

// Copies the text into out, cut to INTERRUPT_TEXT_CAPACITY - 1 bytes, and
// returns the bytes copied.
inline std::size_t copy_cut(char* out, const char* text, std::size_t length) {
    if (length > INTERRUPT_TEXT_CAPACITY - 1) length = INTERRUPT_TEXT_CAPACITY - 1;
    std::memcpy(out, text, length);
    return length;
}

}  // namespace platform
