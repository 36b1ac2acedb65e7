#include "input/answer_checks.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "setup/windows_path.h"

bool directory_exists(const char* path) {
    std::size_t length = std::strlen(path);
    if (length > 0 && path[length - 1] == '\\' && length != root_length(path)) return false;
    return platform::is_directory(path);
}

bool has_control_character(const char* text) {
    return std::any_of(text, text + std::strlen(text),
                       [](unsigned char byte) { return byte < 0x20 || byte == 0x7F; });
}

const char* script_value_refusal(const char* answer) {
    if (has_control_character(answer)) return CONTROL_CHARACTER_REFUSAL;
    std::size_t length = std::strlen(answer);
    if (length > 0 && answer[length - 1] == '-')
        return "Error: The answer must not end with a hyphen, which SQL*Plus would take as the "
               "mark that the line goes on.\n";
    return nullptr;
}

void trim_whitespace(char* text) {
    const char* start = text + std::strspn(text, " ");
    std::size_t length = std::strlen(start);
    while (length > 1 && std::strchr(" \n\r", start[length - 1]) != nullptr) --length;
    std::memmove(text, start, length);
    text[length] = '\0';
}
