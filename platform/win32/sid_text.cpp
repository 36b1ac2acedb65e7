#include "platform/win32/sid_text.h"

#include <sddl.h>

#include <cstdio>

#include "platform/win32/system_calls.h"

namespace platform {

bool sid_text(PSID sid, char* field, std::size_t capacity) {
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text)) return false;
    int written = std::snprintf(field, capacity, "%s", text);
    LocalFree(text);
    return written > 0 && static_cast<std::size_t>(written) < capacity;
}

bool running_user_sid(char* field, std::size_t capacity) {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    union {
        TOKEN_USER user;
        unsigned char bytes[256];
    } info;
    DWORD length = 0;
    bool known = GetTokenInformation(token, TokenUser, &info, sizeof info, &length) != 0;
    CloseHandle(token);
    return known && sid_text(info.user.User.Sid, field, capacity);
}

AccessLists volume_access_lists(const char* path) {
    char root[MAX_PATH];
    DWORD flags = 0;
    if (!system_calls().GetVolumePathNameA(path, root, sizeof root) ||
        !system_calls().GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, &flags, nullptr,
                                              0))
        return AccessLists::unknown;
    return (flags & FILE_PERSISTENT_ACLS) != 0 ? AccessLists::kept : AccessLists::not_kept;
}

}  // namespace platform
