// The desktop shortcut on a POSIX host: the desktop is the current user's
// Desktop folder on the mapped C: drive (C:\users\NAME\Desktop, as Wine lays
// it out), and the link is written in the shell link file format.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/host_path.h"
#include "platform/posix/shell_link.h"

namespace platform {
namespace {

bool get_desktop_folder(char* folder, std::size_t capacity) {
    const char* user = std::getenv("USER");
    if (user == nullptr || user[0] == '\0') {
        struct passwd* entry = getpwuid(getuid());
        if (entry == nullptr) return false;
        user = entry->pw_name;
    }
    int length = std::snprintf(folder, capacity, "C:\\users\\%s\\Desktop", user);
    return length > 0 && static_cast<std::size_t>(length) < capacity && is_directory(folder);
}

}  // namespace

ShortcutResult save_desktop_shortcut(const char* target, const char* working_directory,
                                     const char* description, const char* name) {
    ShortcutResult result = {ShortcutStep::saved, 0, ""};
    char desktop[260];
    if (!get_desktop_folder(desktop, sizeof desktop)) {
        result.failed_step = ShortcutStep::desktop_lookup;
        return result;
    }
    int length =
        std::snprintf(result.link_path, sizeof result.link_path, "%s\\%s.lnk", desktop, name);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof result.link_path) {
        result.failed_step = ShortcutStep::link_path_too_long;
        return result;
    }
    char host[4096];
    if (!host_path::to_host(result.link_path, host, sizeof host)) {
        result.failed_step = ShortcutStep::save;
        result.code = ERROR_CODE_PATH_NOT_FOUND;
        return result;
    }
    if (!shell_link::write_shell_link(host, target, working_directory, description)) {
        result.failed_step = ShortcutStep::save;
        result.code = errno == ENOSPC   ? static_cast<long>(ERROR_CODE_DISK_FULL)
                      : errno == ENOENT ? static_cast<long>(ERROR_CODE_PATH_NOT_FOUND)
                                        : static_cast<long>(ERROR_CODE_ACCESS_DENIED);
    }
    return result;
}

}  // namespace platform
