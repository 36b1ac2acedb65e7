#include "setup/console_output.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

void write_text(const char* text) {
    platform::write_output(text, std::strlen(text));
}

void write_format(const char* format, ...) {
    // Every value printed is a bounded field, so the longest message is a
    // few fields long; this leaves ample room.
    char text[4096];
    std::va_list values;
    va_start(values, format);
    int length = std::vsnprintf(text, sizeof text, format, values);
    va_end(values);
    if (length < 0) return;
    platform::write_output(text, std::min(static_cast<std::size_t>(length), sizeof text - 1));
}

void print_line(const char* text) {
    write_text(text);
    write_text("\n");
}
