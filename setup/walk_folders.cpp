#include "setup/walk_folders.h"

#include <cstring>

#include "setup/bounded_text.h"
#include "setup/setup_parameters.h"
#include "setup/windows_path.h"

namespace {

bool walk_level(TreeLevel* level, platform::EntrySizes sizes, bool count_files,
                const TreeVisitor& visit);

// Shows the visit one entry, and walks a folder the visit enters. False when
// the visit stopped the walk.
bool walk_entry(TreeLevel* level, const platform::DirectoryEntry& entry, platform::EntrySizes sizes,
                bool count_files, const TreeVisitor& visit) {
    TreeVisit seen{TreeStep::not_exact, level, &entry, nullptr, nullptr, nullptr};
    if (!entry.has_exact_name) return visit(seen) != WalkOn::stop;
    char path[PATH_CAPACITY];
    char mirror[PATH_CAPACITY];
    if (!compose_text(path, sizeof path, "%s\\%s", level->folder, entry.name) ||
        (level->mirror != nullptr &&
         !compose_text(mirror, sizeof mirror, "%s\\%s", level->mirror, entry.name))) {
        seen.step = TreeStep::too_long;
        return visit(seen) != WalkOn::stop;
    }
    TreeLevel inner{path, level->mirror != nullptr ? mirror : nullptr};
    seen = {entry.is_directory ? TreeStep::folder : TreeStep::file,
            level,
            &entry,
            path,
            inner.mirror,
            &inner};
    const WalkOn on = visit(seen);
    if (on != WalkOn::go_on || !entry.is_directory) return on != WalkOn::stop;
    return walk_level(&inner, sizes, count_files, visit);
}

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

bool walk_level(TreeLevel* level, platform::EntrySizes sizes, bool count_files,
                const TreeVisitor& visit) {
    char pattern[PATH_CAPACITY];
    platform::DirectoryEntry entry;
    platform::DirectoryScan* scan = nullptr;
    if (compose_text(pattern, sizeof pattern, "%s\\*", level->folder) &&
        (!count_files || count_level_files(pattern, sizes, &level->files)))
        scan = platform::find_first_entry(pattern, &entry, sizes);
    TreeVisit end{TreeStep::unreadable, level, nullptr, nullptr, nullptr, nullptr};
    if (scan == nullptr) return visit(end) != WalkOn::stop;
    bool go_on = true;
    do {
        if (!is_dot_entry(entry.name)) go_on = walk_entry(level, entry, sizes, count_files, visit);
    } while (go_on && platform::find_next_entry(scan, &entry));
    platform::find_close(scan);
    end.step = TreeStep::left;
    return visit(end) != WalkOn::stop && go_on;
}

}  // namespace

bool walk_tree(TreeLevel* root, platform::EntrySizes sizes, bool count_files,
               const TreeVisitor& visit) {
    return walk_level(root, sizes, count_files, visit);
}

bool walk_path(const char* path, const PathVisitor& visit) {
    char folder[PATH_CAPACITY];
    const std::size_t length = std::strlen(path);
    if (length >= sizeof folder || !path_root(path, folder, sizeof folder)) return false;
    if (!visit(folder, platform::is_directory(folder), PathPlace::root)) return true;
    for (std::size_t end = root_length(path) + 1; end <= length; ++end) {
        // A name ends at a backslash, or at the end; a run of them (one
        // ending the path, say) ends none.
        if ((end < length && path[end] != '\\') || path[end - 1] == '\\') continue;
        std::memcpy(folder, path, end);
        folder[end] = '\0';
        const bool exists = platform::is_directory(folder);
        const bool last = path[end + std::strspn(path + end, "\\")] == '\0';
        if (!visit(folder, exists, last ? PathPlace::path : PathPlace::above) || !exists) break;
    }
    return true;
}
