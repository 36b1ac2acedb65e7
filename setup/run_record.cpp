#include "setup/run_record.h"

#include <cstring>

#include "setup/bounded_text.h"
#include "setup/database_command.h"
#include "setup/setup_parameters.h"
#include "setup/windows_path.h"

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

bool holds(const PathList& list, const char* path) {
    for (int i = 0; i < list.count; ++i)
        if (same_path(list.paths[i], path)) return true;
    return false;
}

}  // namespace

void note_copy_failure(const char* destination) {
    add(copy_failures, destination);
}

bool copy_failed_at(const char* folder) {
    if (copy_failures.overflowed) return true;
    for (int i = 0; i < copy_failures.count; ++i) {
        const char* failed = copy_failures.paths[i];
        if (path_is_within(failed, folder) || path_is_within(folder, failed)) return true;
    }
    return false;
}

void note_file_copied(const char* destination) {
    const char* name = std::strrchr(destination, '\\');
    name = name != nullptr ? name + 1 : destination;
    for (const char* script : INSTALL_SCRIPTS) {
        if (same_path(name, std::strrchr(script, '\\') + 1)) {
            add(copied_scripts, destination);
            return;
        }
    }
}

bool file_copied(const char* path) {
    return holds(copied_scripts, path);
}

void note_script_written(const char* path) {
    add(scripts, path);
}

bool script_written(const char* path) {
    return holds(scripts, path);
}
