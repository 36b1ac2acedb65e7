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

ShortcutResult save_desktop_shortcut(const char* target, const char* working_directory,
                                     const char* description, const char* name) {
    ShortcutResult result = {ShortcutStep::saved, 0, ""};
    auto failed = [&result](ShortcutStep step, unsigned long code) {
        result.failed_step = step;
        result.code = static_cast<long>(code);
        return result;
    };
    const char* user = std::getenv("USER");
    if (user == nullptr || user[0] == '\0') {
        struct passwd* entry = getpwuid(getuid());
        if (entry == nullptr) return failed(ShortcutStep::desktop_lookup, 0);
        user = entry->pw_name;
    }
    char desktop[260];
    int length = std::snprintf(desktop, sizeof desktop, "C:\\users\\%s\\Desktop", user);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof desktop || !is_directory(desktop))
        return failed(ShortcutStep::desktop_lookup, 0);
    length = std::snprintf(result.link_path, sizeof result.link_path, "%s\\%s.lnk", desktop, name);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof result.link_path)
        return failed(ShortcutStep::link_path_too_long, 0);
    char host[4096];
    if (!host_path::to_host(result.link_path, host, sizeof host))
        return failed(ShortcutStep::save, ERROR_CODE_PATH_NOT_FOUND);
    if (shell_link::write_shell_link(host, target, working_directory, description)) return result;
    return failed(ShortcutStep::save, errno == ENOSPC   ? ERROR_CODE_DISK_FULL
                                      : errno == ENOENT ? ERROR_CODE_PATH_NOT_FOUND
                                                        : ERROR_CODE_ACCESS_DENIED);
}

}  // namespace platform
