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

bool add_to_list(char* list, std::size_t capacity, const char* name) {
    std::size_t used = std::strlen(list);
    if (used + 1 >= capacity) return false;
    return compose_text(list + used, capacity - used, "%s%s", used != 0 ? ", " : "", name);
}
