#include "input/folder_name.h"

#include <cstring>

#include "input/answer_checks.h"

namespace {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// True when the name starts with the word, in any case.
bool starts_with_word(const char* name, const char* word) {
    for (; *word != '\0'; ++word, ++name) {
        if (upper(*name) != *word) return false;
    }
    return true;
}

const char* const DEVICES[] = {"CON", "PRN", "AUX", "NUL"};
const char* const NUMBERED_DEVICES[] = {"COM", "LPT"};  // with a digit 1 to 9

// The device name's length at the start of the name, or 0.
std::size_t device_name_length(const char* name) {
    for (const char* device : DEVICES) {
        if (starts_with_word(name, device)) return 3;
    }
    for (const char* device : NUMBERED_DEVICES) {
        if (starts_with_word(name, device) && name[3] >= '1' && name[3] <= '9') return 4;
    }
    return 0;
}

// Windows opens the device for its name alone and for its name followed by
// a dot and anything (CON.txt is the console too).
bool is_device_name(const char* name) {
    std::size_t length = device_name_length(name);
    return length > 0 && (name[length] == '\0' || name[length] == '.');
}

}  // namespace

const char* folder_name_refusal(const char* name) {
    if (has_control_character(name)) return CONTROL_CHARACTER_REFUSAL;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
        return "Error: The answer must not be . or .., which stand for existing folders.\n";
    }
    if (is_device_name(name)) {
        return "Error: The answer must not be a device name of Windows (CON, PRN, AUX, NUL, COM1 "
               "to COM9, LPT1 to LPT9), alone or before a dot.\n";
    }
    std::size_t length = std::strlen(name);
    if (length > 0 && name[length - 1] == '.') {
        return "Error: The answer must not end with a dot.\n";
    }
    return nullptr;
}
