#include "setup/bounded_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

bool compose_text(char* field, std::size_t capacity, const char* format, ...) {
    if (capacity == 0) return false;
    std::va_list values;
    va_start(values, format);
    int length = std::vsnprintf(field, capacity, format, values);
    va_end(values);
    if (length < 0) {
        field[0] = '\0';
        return false;
    }
    return static_cast<std::size_t>(length) < capacity;
}

bool copy_text(char* field, std::size_t capacity, const char* text) {
    return compose_text(field, capacity, "%s", text);
}

bool contains_any_of(const char* text, const char* characters) {
    return std::strpbrk(text, characters) != nullptr;
}

void spell_control_characters(char* field, std::size_t capacity, const char* text) {
    std::size_t used = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        unsigned char byte = static_cast<unsigned char>(*c);
        if (byte >= 0x20 && byte != 0x7F) {
            if (used + 1 >= capacity) break;
            field[used++] = *c;
            continue;
        }
        char spelled[9];
        std::snprintf(spelled, sizeof spelled, "<U+%04X>", static_cast<unsigned>(byte));
        if (used + 8 >= capacity) break;
        std::memcpy(field + used, spelled, 8);
        used += 8;
    }
    if (capacity > 0) field[used] = '\0';
}

bool add_to_list(char* list, std::size_t capacity, const char* name) {
    std::size_t used = std::strlen(list);
    if (used + 1 >= capacity) return false;
    return compose_text(list + used, capacity - used, "%s%s", used != 0 ? ", " : "", name);
}
