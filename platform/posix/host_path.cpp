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

bool append(char* out, std::size_t capacity, std::size_t* used, const char* text) {
    for (; *text != '\0'; ++text) {
        if (*used + 1 >= capacity) return false;
        out[(*used)++] = (*text == '\\') ? '/' : *text;
    }
    out[*used] = '\0';
    return true;
}

bool is_drive_prefix(const char* path) {
    return std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

}  // namespace

bool to_host(const char* windows_path, char* host, std::size_t capacity) {
    if (capacity == 0) return false;
    host[0] = '\0';
    std::size_t used = 0;
    const char* rest = windows_path;
    char root[4096];
    if (is_drive_prefix(windows_path)) {
        if (!drive_root(windows_path[0], root, sizeof root)) return false;
        rest = windows_path + 2;
        if (!append(host, capacity, &used, root)) return false;
        if (*rest != '\\' && *rest != '/' && !append(host, capacity, &used, "/")) return false;
    } else if ((windows_path[0] == '\\' || windows_path[0] == '/') &&
               (windows_path[1] == '\\' || windows_path[1] == '/')) {
        return false;  // network paths have no host folder
    } else if (windows_path[0] == '\\' || windows_path[0] == '/') {
        // The root of the working directory's drive.
        char cwd[4096];
        char windows_cwd[4096];
        if (getcwd(cwd, sizeof cwd) == nullptr) return false;
        if (!to_windows(cwd, windows_cwd, sizeof windows_cwd)) return false;
        if (!drive_root(windows_cwd[0], root, sizeof root)) return false;
        if (!append(host, capacity, &used, root)) return false;
    }
    if (!append(host, capacity, &used, rest)) return false;
    return used > 0;  // an empty path names nothing
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
    windows_path[2] = '\0';
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
