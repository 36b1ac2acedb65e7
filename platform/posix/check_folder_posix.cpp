// Who may change an existing folder, from its owner and mode bits.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/posix/host_path.h"
#include "platform/posix/system_calls.h"
#include "platform/spelled_text.h"

namespace platform {

namespace {

void name_user(uid_t uid, char* field, std::size_t capacity) {
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
        spell_control_characters(field, capacity, found->pw_name);
        return;
    }
    std::snprintf(field, capacity, "user %lu", static_cast<unsigned long>(uid));
}

void name_group(gid_t gid, char* field, std::size_t capacity) {
    struct group entry;
    struct group* found = nullptr;
    char buffer[1024];
    if (getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
        spell_control_characters(field, capacity, "group ");
        append_spelled(field, capacity, found->gr_name);
        return;
    }
    std::snprintf(field, capacity, "group %lu", static_cast<unsigned long>(gid));
}

// Owned by anyone but root or the installing user: unsafe, with the owner.
bool owned_by_another(const struct stat& status, FolderCheck* check) {
    if (status.st_uid == 0 || status.st_uid == geteuid()) return false;
    check->verdict = FolderVerdict::unsafe;
    check->owner_unsafe = true;
    name_user(status.st_uid, check->account, sizeof check->account);
    return true;
}

}  // namespace

FolderCheck check_folder(const char* path, FolderRule rule) {
    FolderCheck check = {FolderVerdict::unchecked, false, ""};
    char host[4096];
    struct stat status;
    if (!host_path::to_host(path, host, sizeof host)) return check;
    // A link is judged first by who may change it: its owner can remove it
    // and put a folder of their own in its place, whatever it leads to now.
    // (The folder that holds it is judged as one of the path's folders.)
    if (rule != FolderRule::root) {
        if (system_calls().fstatat(AT_FDCWD, host, &status, AT_SYMLINK_NOFOLLOW) != 0) return check;
        if (S_ISLNK(status.st_mode) && owned_by_another(status, &check)) return check;
    }
    if (system_calls().stat(host, &status) != 0) return check;
    if (rule != FolderRule::root && owned_by_another(status, &check)) return check;
    // Writing a folder without the sticky bit is deleting and renaming what
    // is inside it; a new DATA_HOME is made writable for everyone by the
    // install itself.
    const bool sticky = (status.st_mode & S_ISVTX) != 0;
    const bool counts = rule == FolderRule::app_home || (rule != FolderRule::data_home && !sticky);
    check.verdict = FolderVerdict::safe;
    if (counts && (status.st_mode & S_IWOTH)) {
        check.verdict = FolderVerdict::unsafe;
        std::snprintf(check.account, sizeof check.account, "%s", "Everyone");
    } else if (counts && (status.st_mode & S_IWGRP)) {
        check.verdict = FolderVerdict::unsafe;
        name_group(status.st_gid, check.account, sizeof check.account);
    }
    return check;
}

}  // namespace platform
