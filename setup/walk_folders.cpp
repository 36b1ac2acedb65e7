#include "setup/walk_folders.h"

#include <cstring>

#include "setup/bounded_text.h"
#include "setup/windows_path.h"

namespace {

// Counts the entries that are no folders; false when they cannot be read.
bool count_level_files(const char* pattern, platform::EntrySizes sizes, int* files) {
    platform::DirectoryEntry entry;
    platform::DirectoryScan* scan = platform::find_first_entry(pattern, &entry, sizes);
    if (scan == nullptr) return false;
    do {
        if (!entry.is_directory) ++*files;
    } while (platform::find_next_entry(scan, &entry));
    platform::find_close(scan);
    return true;
}

}  // namespace

bool walk_tree(TreeLevel* level, platform::EntrySizes sizes, bool count_files,
               const TreeVisitor& visit) {
    char pattern[PATH_CAPACITY];
    platform::DirectoryEntry entry;
    platform::DirectoryScan* scan = nullptr;
    if (compose_text(pattern, sizeof pattern, "%s\\*", level->path) &&
        (!count_files || count_level_files(pattern, sizes, &level->files)))
        scan = platform::find_first_entry(pattern, &entry, sizes);
    if (scan == nullptr)
        return visit({TreeStep::unreadable, level, nullptr, nullptr}) != WalkOn::stop;
    WalkOn on = WalkOn::go_on;
    do {
        if (is_dot_entry(entry.name)) continue;
        char path[PATH_CAPACITY];
        char mirror[PATH_CAPACITY];
        TreeLevel at{path, level->mirror != nullptr ? mirror : nullptr};
        if (!entry.has_exact_name) {
            on = visit({TreeStep::not_exact, level, &entry, nullptr});
        } else if (!compose_text(path, sizeof path, "%s\\%s", level->path, entry.name) ||
                   (at.mirror != nullptr &&
                    !compose_text(mirror, sizeof mirror, "%s\\%s", level->mirror, entry.name))) {
            on = visit({TreeStep::too_long, level, &entry, nullptr});
        } else if (!entry.is_directory) {
            on = visit({TreeStep::file, level, &entry, &at});
        } else {
            on = visit({TreeStep::folder, level, &entry, &at});
            if (on == WalkOn::go_on && !walk_tree(&at, sizes, count_files, visit))
                on = WalkOn::stop;
        }
    } while (on != WalkOn::stop && platform::find_next_entry(scan, &entry));
    platform::find_close(scan);
    return visit({TreeStep::left, level, nullptr, nullptr}) != WalkOn::stop && on != WalkOn::stop;
}

bool walk_path(const char* path,
               const std::function<bool(const char* folder, bool exists, PathPlace place)>& visit) {
    char folder[PATH_CAPACITY];
    const std::size_t length = std::strlen(path);
    if (length >= sizeof folder || !path_root(path, folder, sizeof folder)) return false;
    if (!visit(folder, platform::is_directory(folder), PathPlace::root)) return true;
    for (std::size_t end = root_length(path) + 1; end <= length; ++end) {
        // A name ends at a backslash or at the end; a run of them ends none.
        if ((end < length && path[end] != '\\') || path[end - 1] == '\\') continue;
        std::memcpy(folder, path, end);
        folder[end] = '\0';
        const bool exists = platform::is_directory(folder);
        const bool last = path[end + std::strspn(path + end, "\\")] == '\0';
        if (!visit(folder, exists, last ? PathPlace::path : PathPlace::above) || !exists) break;
    }
    return true;
}
