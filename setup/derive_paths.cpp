#include "setup/derive_paths.h"

#include <cstring>

#include "setup/database_command.h"
#include "setup/bounded_text.h"
#include "setup/setup_parameters.h"

bool make_app_path(const char* directory, char* output, std::size_t capacity, const char* service,
                   const char* owner) {
    const std::size_t length = std::strlen(directory);
    const char* separator = length > 0 && directory[length - 1] == '\\' ? "" : "\\";
    return compose_text(output, capacity, "%s%s%s\\%s", directory, separator, service, owner);
}

bool replace_substring(const char* source, char* destination, std::size_t capacity,
                       const char* pattern, const char* replacement) {
    if (capacity == 0) return false;
    const std::size_t pattern_length = std::strlen(pattern);
    std::size_t used = 0;
    while (*source != '\0') {
        const bool match = pattern_length > 0 && std::strncmp(source, pattern, pattern_length) == 0;
        const char* piece = match ? replacement : source;
        const std::size_t piece_length = match ? std::strlen(replacement) : 1;
        source += match ? pattern_length : 1;
        if (used + piece_length > capacity - 1) {
            destination[used] = '\0';
            return false;
        }
        std::memcpy(destination + used, piece, piece_length);
        used += piece_length;
    }
    destination[used] = '\0';
    return true;
}

bool escape_for_sqlplus(const char* path, char* output, std::size_t capacity) {
    char scratch[PATH_CAPACITY];
    if (!replace_substring(path, scratch, sizeof scratch, "\\", "\\\\")) {
        if (capacity > 0) output[0] = '\0';
        return false;
    }
    return replace_substring(scratch, output, capacity, "&", "\\&");
}

bool make_connection_string(const char* port, const char* service, char* output,
                            std::size_t capacity) {
    return compose_text(output, capacity, "//localhost:%s/%s", port, service);
}

namespace {

// The longest fixed texts appended to APP_HOME anywhere in the run.
const char* const APP_HOME_SUFFIXES[] = {
    "\\install\\auto_install.sql",
    "\\config\\set_env.sql",
    "\\config\\set_env.bat",
    "\\com\\startora.bat",
};

}  // namespace

bool app_home_fits(const char* root) {
    char field[PATH_CAPACITY];
    if (!escape_for_sqlplus(root, field, sizeof field)) return false;
    for (const char* suffix : APP_HOME_SUFFIXES)
        if (!compose_text(field, sizeof field, "%s%s", root, suffix)) return false;
    return make_database_command(root, field, sizeof field);
}

bool data_home_fits(const char* root) {
    char field[PATH_CAPACITY];
    if (!compose_text(field, sizeof field, "%s\\data", root)) return false;
    char escaped[PATH_CAPACITY];
    return escape_for_sqlplus(field, escaped, sizeof escaped);
}
