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

}  // namespace

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
