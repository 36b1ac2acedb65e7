#include "setup/run_record.h"

#include <cstring>

#include "setup/bounded_text.h"
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

void note_script_written(const char* path) {
    add(scripts, path);
}

bool script_written(const char* path) {
    for (int i = 0; i < scripts.count; ++i) {
        if (std::strcmp(scripts.paths[i], path) == 0) return true;
    }
    return false;
}
