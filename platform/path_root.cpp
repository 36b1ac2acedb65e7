#include "platform/platform.h"

#include <cstring>

namespace platform {

bool path_root(const char* path, char* root, std::size_t capacity) {
    if (path[0] != '\0' && path[1] == ':') {
        if (capacity < 4) return false;
        root[0] = path[0];
        root[1] = ':';
        root[2] = '\\';
        root[3] = '\0';
        return true;
    }
    if (path[0] != '\\' || path[1] != '\\') return false;
    // \\server\share: the two names after the leading pair.
    const char* server_end = std::strchr(path + 2, '\\');
    if (server_end == nullptr || server_end == path + 2 || server_end[1] == '\0' ||
        server_end[1] == '\\')
        return false;
    const char* share_end = std::strchr(server_end + 1, '\\');
    std::size_t length =
        share_end != nullptr ? static_cast<std::size_t>(share_end - path) : std::strlen(path);
    if (length + 2 > capacity) return false;
    std::memcpy(root, path, length);
    root[length] = '\\';
    root[length + 1] = '\0';
    return true;
}

}  // namespace platform
