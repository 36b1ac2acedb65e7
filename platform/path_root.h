// The root of a full Windows path, the one test of a full path for every
// layer: the answers' checks, the PATH search and folder creation alike.
#pragma once

#include <cstddef>
#include <cstring>

namespace platform {

// The length of a full path's root: 3 for C:\ (C:\x, C:\), and for
// \\server\share\x the length of \\server\share\ (of \\server\share when
// nothing follows the share). 0 for a path that is not full: drive-relative
// (C:x, C:), relative (., ..\x, x), rooted without a drive (\x), a server
// without a share, and the \\?\ and \\.\ prefixes, which the command
// interpreter cannot change into.
inline std::size_t root_length(const char* path) {
    const char first = path[0];
    if ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'))
        return path[1] == ':' && path[2] == '\\' ? 3 : 0;
    if (first != '\\' || path[1] != '\\') return 0;
    const char* server = path + 2;
    const char* server_end = std::strchr(server, '\\');
    if (server_end == nullptr || server_end == server) return 0;
    // \\?\ and \\.\ name the system's own namespaces, not a server.
    if (server_end - server == 1 && (*server == '?' || *server == '.')) return 0;
    const char* share = server_end + 1;
    if (*share == '\0' || *share == '\\') return 0;
    const char* share_end = std::strchr(share, '\\');
    if (share_end == nullptr) return std::strlen(path);
    return static_cast<std::size_t>(share_end - path) + 1;
}

}  // namespace platform
