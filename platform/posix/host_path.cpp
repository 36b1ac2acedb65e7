#include "platform/posix/host_path.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace host_path {
namespace {

// The host folder of a drive letter, without a trailing slash ("" for /).
bool drive_root(char letter, char* root, std::size_t capacity) {
    char name[] = "SETUP_DRIVE_X";
    name[12] = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] == '\0') {
        if (name[12] != 'Z') return false;
        value = "/";
    }
    std::size_t length = std::strlen(value);
    while (length > 0 && value[length - 1] == '/') --length;
    if (length + 1 > capacity) return false;
    std::memcpy(root, value, length);
    root[length] = '\0';
    return true;
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

bool append(char* out, std::size_t capacity, std::size_t* used, const char* text,
            std::size_t length) {
    if (*used + length >= capacity) return false;
    for (std::size_t i = 0; i < length; ++i) out[(*used)++] = is_separator(text[i]) ? '/' : text[i];
    out[*used] = '\0';
    return true;
}

// Appends a host path as it is.
bool append_host(char* out, std::size_t capacity, std::size_t* used, const char* text) {
    std::size_t length = std::strlen(text);
    if (*used + length >= capacity) return false;
    std::memcpy(out + *used, text, length + 1);
    *used += length;
    return true;
}

bool is_drive_prefix(const char* path) {
    return std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// Appends the folders and file of a Windows path's rest, resolving "." and
// ".." by name as Windows does: ".." takes back the last name, but never
// one of the first floor characters (the drive's folder), so it cannot
// climb above the drive's root. A trailing separator is kept.
bool append_names(char* out, std::size_t capacity, std::size_t* used, std::size_t floor,
                  const char* rest) {
    while (*rest != '\0') {
        std::size_t length = 0;
        while (rest[length] != '\0' && !is_separator(rest[length])) ++length;
        if (length == 2 && rest[0] == '.' && rest[1] == '.') {
            while (*used > floor && out[*used - 1] != '/') --*used;
            if (*used > floor) --*used;
            out[*used] = '\0';
        } else if (length > 1 || (length == 1 && rest[0] != '.')) {
            if (!append(out, capacity, used, "/", 1) || !append(out, capacity, used, rest, length))
                return false;
        }
        rest += length;
        if (is_separator(*rest)) {
            ++rest;
            if (*rest == '\0' && !append(out, capacity, used, "/", 1)) return false;
        }
    }
    return true;
}

// The working directory and its drive letter. False when it lies on no drive.
bool working_directory(char* letter, char* cwd, std::size_t capacity) {
    char windows_cwd[4096];
    char root[4096];
    if (getcwd(cwd, capacity) == nullptr || !to_windows(cwd, windows_cwd, sizeof windows_cwd))
        return false;
    *letter = windows_cwd[0];
    if (!drive_root(*letter, root, sizeof root)) return false;
    std::size_t length = std::strlen(root);
    return std::strncmp(cwd, root, length) == 0 && (cwd[length] == '/' || cwd[length] == '\0');
}

}  // namespace

bool to_host(const char* windows_path, char* host, std::size_t capacity) {
    if (capacity == 0) return false;
    host[0] = '\0';
    if (windows_path[0] == '\0') return false;  // an empty path names nothing
    if (is_separator(windows_path[0]) && is_separator(windows_path[1])) {
        return false;  // network paths have no host folder
    }
    std::size_t used = 0;
    char root[4096];
    char cwd[4096];
    char letter = '\0';
    bool from_cwd = false;
    const char* rest = windows_path;
    if (is_drive_prefix(windows_path)) {
        char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(windows_path[0])));
        rest = windows_path + 2;
        // "X:name" is relative to the working directory when that is on
        // drive X, else to the drive's root.
        from_cwd =
            !is_separator(*rest) && working_directory(&letter, cwd, sizeof cwd) && letter == drive;
        letter = drive;
    } else if (working_directory(&letter, cwd, sizeof cwd)) {
        // "\name" is rooted on the working directory's drive; "name" is
        // relative to the working directory.
        from_cwd = !is_separator(*rest);
    } else if (is_separator(*rest)) {
        return false;  // a working directory on no drive has no drive root
    } else {
        // Relative to a working directory on no drive: as the host takes it.
        return append(host, capacity, &used, rest, std::strlen(rest));
    }
    if (!drive_root(letter, root, sizeof root) ||
        !append_host(host, capacity, &used, from_cwd ? cwd : root) ||
        !append_names(host, capacity, &used, std::strlen(root), rest))
        return false;
    return used > 0 || append(host, capacity, &used, "/", 1);  // the host root
}

bool to_windows(const char* host, char* windows_path, std::size_t capacity) {
    char best_letter = 'Z';
    std::size_t best_length = 0;
    char root[4096];
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (!drive_root(letter, root, sizeof root)) continue;
        std::size_t length = std::strlen(root);
        if (length < best_length || std::strncmp(host, root, length) != 0) continue;
        if (host[length] != '/' && host[length] != '\0') continue;
        if (length > best_length || letter != 'Z') {
            best_letter = letter;
            best_length = length;
        }
    }
    if (capacity < 3) return false;
    windows_path[0] = best_letter;
    windows_path[1] = ':';
    std::size_t used = 2;
    const char* rest = host + best_length;
    if (*rest == '\0') rest = "/";
    for (; *rest != '\0'; ++rest) {
        if (used + 1 >= capacity) return false;
        windows_path[used++] = (*rest == '/') ? '\\' : *rest;
    }
    windows_path[used] = '\0';
    return true;
}

}  // namespace host_path
