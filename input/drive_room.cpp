#include "input/drive_room.h"

#include <cstring>

#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/setup_parameters.h"

namespace {

bool is_dot_entry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Windows compares names without regard to case.
bool same_text(const char* a, const char* b, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

void add_replaced(const char* source, const char* home, unsigned long long* bytes) {
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
            if (platform::get_file_size(to, &size)) *bytes += size;
        } else if (platform::stat_is_directory(to)) {
            add_replaced(from, to, bytes);
        }
    } while (platform::find_next_entry(scan, &entry));
    platform::find_close(scan);
}

}  // namespace

unsigned long long measure_replaced(const char* source, const char* home) {
    unsigned long long bytes = 0;
    if (platform::stat_is_directory(home)) add_replaced(source, home, &bytes);
    return bytes;
}

bool on_same_drive(const char* first, const char* second) {
    char a[platform::PATH_ROOT_CAPACITY];
    char b[platform::PATH_ROOT_CAPACITY];
    if (!platform::path_root(first, a, sizeof a) || !platform::path_root(second, b, sizeof b))
        return false;
    std::size_t length = std::strlen(a);
    return length == std::strlen(b) && same_text(a, b, length);
}

bool lies_inside(const char* path, const char* folder) {
    std::size_t length = std::strlen(folder);
    while (length > 0 && folder[length - 1] == '\\') --length;
    return length > 0 && std::strlen(path) > length + 1 && path[length] == '\\' &&
           same_text(path, folder, length);
}
