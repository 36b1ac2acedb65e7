#include "deploy/drive_room.h"

#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/setup_parameters.h"
#include "setup/windows_path.h"

namespace {

unsigned long long rounded(unsigned long long bytes, unsigned long long unit) {
    return unit <= 1 ? bytes : (bytes + unit - 1) / unit * unit;
}

void add_replaced(const char* source, const char* home, unsigned long long unit,
                  unsigned long long* bytes) {
    char pattern[PATH_CAPACITY];
    platform::DirectoryEntry entry;
    platform::DirectoryScan* scan = nullptr;
    if (compose_text(pattern, sizeof pattern, "%s\\*", source))
        scan = platform::find_first_entry(pattern, &entry);
    if (scan == nullptr) return;
    do {
        if (is_dot_entry(entry.name) || !entry.has_exact_name) continue;
        char from[PATH_CAPACITY];
        char to[PATH_CAPACITY];
        if (!compose_text(from, sizeof from, "%s\\%s", source, entry.name) ||
            !compose_text(to, sizeof to, "%s\\%s", home, entry.name))
            continue;
        unsigned long long size = 0;
        if (!entry.is_directory) {
            if (platform::get_file_size(to, &size)) *bytes += rounded(size, unit);
        } else if (platform::is_directory(to)) {
            add_replaced(from, to, unit, bytes);
        }
    } while (platform::find_next_entry(scan, &entry));
    platform::find_close(scan);
}

}  // namespace

unsigned long long measure_replaced(const char* source, const char* home,
                                    unsigned long long allocation_unit) {
    unsigned long long bytes = 0;
    if (platform::is_directory(home)) add_replaced(source, home, allocation_unit, &bytes);
    return bytes;
}

bool nearest_existing_folder(const char* path, char* folder, std::size_t capacity) {
    if (!copy_text(folder, capacity, path)) return false;
    char parent[PATH_CAPACITY];
    while (!platform::is_directory(folder)) {
        if (!parent_folder(folder, parent, sizeof parent)) return false;
        copy_text(folder, capacity, parent);
    }
    return true;
}
