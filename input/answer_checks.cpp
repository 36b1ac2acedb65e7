#include "input/answer_checks.h"

#include <cstring>

#include "platform/platform.h"

namespace {

bool is_share_root(const char* path, std::size_t length) {
    if (length < 5 || path[0] != '\\' || path[1] != '\\') return false;
    const char* server_end = std::strchr(path + 2, '\\');
    if (server_end == nullptr || server_end == path + 2) return false;
    const char* share_end = std::strchr(server_end + 1, '\\');
    return share_end != nullptr && share_end > server_end + 1 && share_end == path + length - 1;
}

bool is_drive_root(const char* path, std::size_t length) {
    return length == 3 && path[1] == ':' && path[2] == '\\';
}

}  // namespace

void use_backslashes(char* path) {
    for (char* c = path; *c != '\0'; ++c) {
        if (*c == '/') *c = '\\';
    }
}

bool is_full_path(const char* path) {
    char drive = path[0];
    if ((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z'))
        return path[1] == ':' && path[2] == '\\';
    if (path[0] != '\\' || path[1] != '\\') return false;
    const char* server = path + 2;
    const char* server_end = std::strchr(server, '\\');
    if (server_end == nullptr || server_end == server) return false;
    // \\?\ and \\.\ name the system's own namespaces, not a server.
    if (server_end - server == 1 && (*server == '?' || *server == '.')) return false;
    const char* share = server_end + 1;
    return *share != '\0' && *share != '\\';
}

bool directory_exists(const char* path) {
    std::size_t length = std::strlen(path);
    if (length > 0 && path[length - 1] == '\\' && !is_drive_root(path, length) &&
        !is_share_root(path, length)) {
        return false;
    }
    return platform::stat_is_directory(path);
}

bool path_valid(const char* path) {
    return std::strpbrk(path, " &") == nullptr;
}

void trim_whitespace(char* text) {
    char* start = text;
    while (*start == ' ') ++start;
    std::size_t length = std::strlen(start);
    while (length > 1 &&
           (start[length - 1] == ' ' || start[length - 1] == '\n' || start[length - 1] == '\r')) {
        --length;
    }
    std::memmove(text, start, length);
    text[length] = '\0';
}
