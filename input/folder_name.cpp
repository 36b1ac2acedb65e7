#include "input/folder_name.h"

#include <cstring>

#include "input/answer_checks.h"

namespace {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Windows opens the device for its name alone and for its name followed by
// a dot and anything (CON.txt is the console too).
bool is_device_name(const char* name) {
    // '#' stands for a digit 1 to 9.
    static const char* const DEVICES[] = {"CON", "PRN", "AUX", "NUL", "COM#", "LPT#"};
    for (const char* device : DEVICES) {
        std::size_t i = 0;
        while (device[i] == '#' ? name[i] >= '1' && name[i] <= '9'
                                : device[i] != '\0' && upper(name[i]) == device[i])
            ++i;
        if (device[i] == '\0' && (name[i] == '\0' || name[i] == '.')) return true;
    }
    return false;
}

}  // namespace

const char* folder_name_refusal(const char* name) {
    if (has_control_character(name)) return CONTROL_CHARACTER_REFUSAL;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return "Error: The answer must not be . or .., which stand for existing folders.\n";
    if (is_device_name(name))
        return "Error: The answer must not be a device name of Windows (CON, PRN, AUX, NUL, COM1 "
               "to COM9, LPT1 to LPT9), alone or before a dot.\n";
    std::size_t length = std::strlen(name);
    if (length > 0 && name[length - 1] == '.')
        return "Error: The answer must not end with a dot.\n";
    return nullptr;
}
