#include "setup/console_output.h"

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
    std::size_t size = static_cast<std::size_t>(length);
    if (size >= sizeof text) size = sizeof text - 1;
    platform::write_output(text, size);
}

void print_line(const char* text) {
    write_text(text);
    write_text("\n");
}
