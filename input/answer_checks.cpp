#include "input/answer_checks.h"

#include <cstring>

#include "platform/platform.h"
#include "setup/windows_path.h"

bool directory_exists(const char* path) {
    std::size_t length = std::strlen(path);
    if (length > 0 && path[length - 1] == '\\' && length != root_length(path)) return false;
    return platform::is_directory(path);
}

bool has_control_character(const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
        unsigned char byte = static_cast<unsigned char>(*c);
        if (byte < 0x20 || byte == 0x7F) return true;
    }
    return false;
}

const char* script_value_refusal(const char* answer) {
    if (has_control_character(answer)) return CONTROL_CHARACTER_REFUSAL;
    std::size_t length = std::strlen(answer);
    if (length > 0 && answer[length - 1] == '-') {
        return "Error: The answer must not end with a hyphen, which SQL*Plus would take as the mark "
               "that the line goes on.\n";
    }
    return nullptr;
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
