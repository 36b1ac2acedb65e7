#include "input/answer_checks.h"

#include <cstring>

#include "platform/platform.h"
#include "setup/windows_path.h"

bool directory_exists(const char* path) {
    std::size_t length = std::strlen(path);
    if (length > 0 && path[length - 1] == '\\' && length != root_length(path)) return false;
    return platform::is_directory(path);
}

bool path_valid(const char* path) {
    return std::strpbrk(path, " &") == nullptr;
}

void trim_whitespace(char* text) {
    char* start = text;
    while (*start == ' ') ++start;
    std::size_t length = std::strlen(start);
    while (length > 1 &&
           (start[length - 1] == ' ' || start[length - 1] == '\n' || start[length - 1] == '\r')) {
        --length;
    }
    std::memmove(text, start, length);
    text[length] = '\0';
}
