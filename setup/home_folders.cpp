#include "setup/home_folders.h"

#include <cstring>

#include "setup/bounded_text.h"
#include "setup/log_event.h"
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

// Stores the nearest existing folder of the resolved path (the path
// itself, or the closest folder above it) and returns what follows it in
// the path: the names still to be made, "" when the path exists. Null when
// not even its root exists, or it won't fit.
const char* nearest_existing(const char* path, char* folder, std::size_t capacity) {
    if (!copy_text(folder, capacity, path)) return nullptr;
    char parent[PATH_CAPACITY];
    while (!platform::is_directory(folder)) {
        if (!parent_folder(folder, parent, sizeof parent)) return nullptr;
        copy_text(folder, capacity, parent);
    }
    const char* rest = path + std::strlen(folder);
    while (*rest == '\\') ++rest;
    return rest;
}

}  // namespace

bool home_is_within(const char* path, const char* folder) {
    if (path_is_within(path, folder)) return true;
    char folder_found[PATH_CAPACITY];
    const char* folder_rest = nearest_existing(folder, folder_found, sizeof folder_found);
    char above[PATH_CAPACITY];
    if (folder_rest == nullptr || !copy_text(above, sizeof above, path)) return false;
    // The path itself, then each folder above it.
    for (;;) {
        char found[PATH_CAPACITY];
        const char* rest = nearest_existing(above, found, sizeof found);
        if (rest != nullptr && same_path(rest, folder_rest) &&
            platform::same_file(found, folder_found))
            return true;
        char parent[PATH_CAPACITY];
        if (!parent_folder(above, parent, sizeof parent)) return false;
        copy_text(above, sizeof above, parent);
    }
}

bool home_folders_safe(const char* home, HomeKind kind, UnsafeFolder* unsafe) {
    char folder[PATH_CAPACITY];
    if (!path_root(home, folder, sizeof folder)) return true;
    if (!folder_safe(folder, platform::FolderRule::root, unsafe)) return false;
    const platform::FolderRule above =
        kind == HomeKind::app ? platform::FolderRule::above : platform::FolderRule::data_above;
    const std::size_t length = std::strlen(home);
    // Each folder below the root, down to the first that does not exist.
    for (std::size_t end = root_length(home); end <= length; ++end) {
        if (end < length && home[end] != '\\') continue;
        if (end == 0 || home[end - 1] == '\\' || end >= sizeof folder) continue;
        std::memcpy(folder, home, end);
        folder[end] = '\0';
        if (!platform::is_directory(folder)) return true;
        if (end < length) {
            if (!folder_safe(folder, above, unsafe)) return false;
        } else if (kind == HomeKind::data) {
            return folder_safe(folder, platform::FolderRule::data_home, unsafe);
        } else {
            return folder_safe(folder, platform::FolderRule::app_home, unsafe) &&
                   existing_folder_safe(folder, "config", unsafe) &&
                   existing_folder_safe(folder, "install", unsafe) &&
                   existing_folder_safe(folder, "com", unsafe);
        }
    }
    return true;
}

void describe_unsafe_folder(const UnsafeFolder& unsafe, char* field, std::size_t capacity) {
    if (unsafe.check.owner_unsafe)
        compose_text(field, capacity,
                     "%s belongs to %s, who could change or replace what is installed there. ",
                     unsafe.folder, unsafe.check.account);
    else
        compose_text(field, capacity,
                     "%s gives %s the right to change, rename or replace what is installed "
                     "there. ",
                     unsafe.folder, unsafe.check.account);
    const std::size_t used = std::strlen(field);
    compose_text(field + used, capacity - used, "%s",
                 "Choose another directory, or give the folder to the administrators with the "
                 "icacls commands in the README.");
}
