#include "setup/run_record.h"

#include <cstring>

#include "setup/bounded_text.h"
#include "setup/database_command.h"
#include "setup/setup_parameters.h"

namespace {

constexpr int KEPT = 16;

struct PathList {
    char paths[KEPT][PATH_CAPACITY];
    int count;
    bool overflowed;  // more were noted than kept
};

PathList copy_failures;
PathList scripts;
PathList copied_scripts;

void add(PathList& list, const char* path) {
    if (list.count == KEPT || !copy_text(list.paths[list.count], PATH_CAPACITY, path)) {
        list.overflowed = true;
        return;
    }
    ++list.count;
}

// True when the path is the folder or lies below it.
bool is_within(const char* path, const char* folder) {
    std::size_t length = std::strlen(folder);
    return std::strncmp(path, folder, length) == 0 &&
           (path[length] == '\0' || path[length] == '\\');
}

}  // namespace

void note_copy_failure(const char* destination) {
    add(copy_failures, destination);
}

bool copy_failed_at(const char* folder) {
    if (copy_failures.overflowed) return true;
    for (int i = 0; i < copy_failures.count; ++i) {
        const char* failed = copy_failures.paths[i];
        if (is_within(failed, folder) || is_within(folder, failed)) return true;
    }
    return false;
}

// Windows names ignore the letter case (of the ASCII letters, at least).
bool same_name(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
        char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y) return false;
    }
    return *a == *b;
}

void note_file_copied(const char* destination) {
    const char* name = std::strrchr(destination, '\\');
    name = name != nullptr ? name + 1 : destination;
    for (const char* script : INSTALL_SCRIPTS) {
        if (same_name(name, std::strrchr(script, '\\') + 1)) {
            add(copied_scripts, destination);
            return;
        }
    }
}

bool file_copied(const char* path) {
    for (int i = 0; i < copied_scripts.count; ++i) {
        if (same_name(copied_scripts.paths[i], path)) return true;
    }
    return false;
}

void note_script_written(const char* path) {
    add(scripts, path);
}

bool script_written(const char* path) {
    for (int i = 0; i < scripts.count; ++i) {
        if (std::strcmp(scripts.paths[i], path) == 0) return true;
    }
    return false;
}
