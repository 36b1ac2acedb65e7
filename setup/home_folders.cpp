#include "setup/home_folders.h"

#include <algorithm>
#include <cstring>

#include "setup/bounded_text.h"
#include "setup/log_event.h"
#include "setup/walk_folders.h"
#include "setup/windows_path.h"

namespace {

// Once per run: the lists that could not be read are not refused.
bool told_unchecked = false;

// False, with the folder stored, when it is unsafe by the rule.
bool folder_safe(const char* folder, platform::FolderRule rule, UnsafeFolder* unsafe) {
    platform::FolderCheck check = platform::check_folder(folder, rule);
    if (check.verdict == platform::FolderVerdict::unsafe) {
        spell_control_characters(unsafe->folder, sizeof unsafe->folder, folder);
        unsafe->check = check;
        return false;
    }
    if (check.verdict == platform::FolderVerdict::unchecked && !told_unchecked) {
        told_unchecked = true;
        char shown[PATH_CAPACITY];
        spell_control_characters(shown, sizeof shown, folder);
        log_event(
            "Note: Who may change %s could not be checked (no access control list could be "
            "read); it is not refused.",
            shown);
    }
    return true;
}

bool existing_folder_safe(const char* home, const char* name, UnsafeFolder* unsafe) {
    char folder[PATH_CAPACITY];
    return !compose_text(folder, sizeof folder, "%s\\%s", home, name) ||
           !platform::is_directory(folder) ||
           folder_safe(folder, platform::FolderRule::app_home, unsafe);
}

}  // namespace

const char* nearest_existing_folder(const char* path, char* folder, std::size_t capacity) {
    bool found = false;
    walk_path(path, [&](const char* existing, bool exists, PathPlace) {
        if (exists) found = copy_text(folder, capacity, existing);
        return exists && found;
    });
    if (!found) return nullptr;
    const char* rest = path + std::min(std::strlen(folder), std::strlen(path));
    while (*rest == '\\') ++rest;
    return rest;
}

bool home_is_within(const char* path, const char* folder) {
    if (path_is_within(path, folder)) return true;
    char folder_found[PATH_CAPACITY];
    const char* folder_rest = nearest_existing_folder(folder, folder_found, sizeof folder_found);
    char above[PATH_CAPACITY];
    if (folder_rest == nullptr || !copy_text(above, sizeof above, path)) return false;
    // The path itself, then each folder above it.
    for (;;) {
        char found[PATH_CAPACITY];
        const char* rest = nearest_existing_folder(above, found, sizeof found);
        if (rest != nullptr && same_path(rest, folder_rest) &&
            platform::same_file(found, folder_found))
            return true;
        char parent[PATH_CAPACITY];
        if (!parent_folder(above, parent, sizeof parent)) return false;
        copy_text(above, sizeof above, parent);
    }
}

bool home_folders_safe(const char* home, HomeKind kind, UnsafeFolder* unsafe) {
    const platform::FolderRule above =
        kind == HomeKind::app ? platform::FolderRule::above : platform::FolderRule::data_above;
    bool safe = true;
    // The root, then each folder below it down to the first that does not exist.
    walk_path(home, [&](const char* folder, bool exists, PathPlace place) {
        if (place == PathPlace::root)
            safe = folder_safe(folder, platform::FolderRule::root, unsafe);
        else if (!exists)
            return false;
        else if (place == PathPlace::above)
            safe = folder_safe(folder, above, unsafe);
        else if (kind == HomeKind::data)
            safe = folder_safe(folder, platform::FolderRule::data_home, unsafe);
        else
            safe = folder_safe(folder, platform::FolderRule::app_home, unsafe) &&
                   existing_folder_safe(folder, "config", unsafe) &&
                   existing_folder_safe(folder, "install", unsafe) &&
                   existing_folder_safe(folder, "com", unsafe);
        return safe;
    });
    return safe;
}

bool home_folders_safe(const char* home, HomeKind kind, char* field, std::size_t capacity) {
    UnsafeFolder unsafe;
    if (home_folders_safe(home, kind, &unsafe)) return true;
    compose_text(field, capacity,
                 unsafe.check.owner_unsafe
                     ? "%s belongs to %s, who could change or replace what is installed there. %s"
                     : "%s gives %s the right to change, rename or replace what is installed "
                       "there. %s",
                 unsafe.folder, unsafe.check.account,
                 "Choose another directory, or give the folder to the administrators with the "
                 "icacls commands in the README.");
    return false;
}
