#include "setup/windows_path.h"

#include <cstring>

#include "platform/platform.h"
#include "setup/setup_parameters.h"

namespace {

bool same_character(char a, char b) {
    return a == b || platform::fold_name_character(static_cast<unsigned char>(a)) ==
                         platform::fold_name_character(static_cast<unsigned char>(b));
}

bool same_text(const char* a, const char* b, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        if (!same_character(a[i], b[i])) return false;
    return true;
}

// The length of the path without one trailing backslash.
std::size_t length_without_separator(const char* path) {
    std::size_t length = std::strlen(path);
    return length > 0 && path[length - 1] == '\\' ? length - 1 : length;
}

}  // namespace

bool is_dot_entry(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool path_root(const char* path, char* root, std::size_t capacity) {
    std::size_t length = root_length(path);
    if (length == 0) return false;
    const bool add_separator = path[length - 1] != '\\';
    if (length + (add_separator ? 1 : 0) + 1 > capacity) return false;
    std::memcpy(root, path, length);
    if (add_separator) root[length++] = '\\';
    root[length] = '\0';
    return true;
}

bool resolve_full_path(char* path) {
    for (char* c = path; *c != '\0'; ++c)
        if (*c == '/') *c = '\\';
    const std::size_t root = root_length(path);
    const std::size_t length = std::strlen(path);
    if (root == 0 || length >= PATH_CAPACITY) return false;
    char out[PATH_CAPACITY];
    std::memcpy(out, path, root);
    if (out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
    std::size_t used = root;
    std::size_t last_start = 0;  // where the last segment kept begins (0: none)
    std::size_t at = root;
    while (at < length) {
        while (at < length && path[at] == '\\') ++at;
        std::size_t end = at;
        while (end < length && path[end] != '\\') ++end;
        const char* segment = path + at;
        std::size_t size = end - at;
        at = end;
        if (size == 0 || (size == 1 && segment[0] == '.')) continue;
        if (size == 2 && segment[0] == '.' && segment[1] == '.') {
            while (used > root && out[used - 1] != '\\') --used;
            if (used > root) --used;  // the separator before it
            last_start = 0;
            continue;
        }
        if (segment[size - 1] == '.' && (size < 2 || segment[size - 2] != '.')) --size;
        if (used > root) out[used++] = '\\';
        last_start = used;
        std::memcpy(out + used, segment, size);
        used += size;
    }
    const bool ends_in_separator = length > root && path[length - 1] == '\\';
    if (!ends_in_separator && used > root) {
        // The last segment, even one that .. left last.
        std::size_t start = last_start;
        if (start == 0) {
            start = used;
            while (start > root && out[start - 1] != '\\') --start;
        }
        while (used > start && (out[used - 1] == '.' || out[used - 1] == ' ')) --used;
    }
    if (ends_in_separator && used > root && out[used - 1] != '\\') out[used++] = '\\';
    out[used] = '\0';
    std::memcpy(path, out, used + 1);
    return true;
}

bool same_path(const char* first, const char* second) {
    std::size_t length = length_without_separator(first);
    return length == length_without_separator(second) && same_text(first, second, length);
}

bool path_is_within(const char* path, const char* folder) {
    std::size_t length = length_without_separator(folder);
    return length > 0 && std::strlen(path) >= length && same_text(path, folder, length) &&
           (path[length] == '\0' || path[length] == '\\');
}

bool path_lies_below(const char* path, const char* folder) {
    return path_is_within(path, folder) &&
           length_without_separator(path) > length_without_separator(folder) + 1;
}

bool same_root(const char* first, const char* second) {
    std::size_t a = root_length(first);
    std::size_t b = root_length(second);
    if (a == 0 || b == 0) return false;
    if (first[a - 1] == '\\') --a;
    if (second[b - 1] == '\\') --b;
    return a == b && same_text(first, second, a);
}

bool parent_folder(const char* path, char* parent, std::size_t capacity) {
    const std::size_t root = root_length(path);
    std::size_t length = length_without_separator(path);
    if (root == 0 || length < root) return false;
    if (length == root || (length + 1 == root && path[root - 1] == '\\')) return false;
    std::size_t cut = length;
    while (cut > root && path[cut - 1] != '\\') --cut;
    if (cut > root) --cut;  // the separator, unless it ends the root
    if (cut + 1 > capacity) return false;
    std::memcpy(parent, path, cut);
    parent[cut] = '\0';
    return true;
}
