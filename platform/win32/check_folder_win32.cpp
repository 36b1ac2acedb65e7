// Who may change an existing folder: its owner and the rights its access
// control list gives, read through the backend's system-call table.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstring>

#include "platform/platform.h"
#include "platform/spelled_text.h"
#include "platform/win32/sid_text.h"
#include "platform/win32/system_calls.h"

namespace platform {

namespace {

// SYSTEM, Administrators, TrustedInstaller and CREATOR OWNER (which stands
// for whoever creates the file: the installer, for what the copy makes).
const char* const TRUSTED_SIDS[] = {
    "S-1-5-18",
    "S-1-5-32-544",
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
    "S-1-3-0",
};

constexpr DWORD REMOVE_RIGHTS = DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;

// The rights of an allow entry that the rule refuses to anyone else.
DWORD refused_rights(FolderRule rule) {
    switch (rule) {
        case FolderRule::root: return FILE_DELETE_CHILD;
        case FolderRule::above: return REMOVE_RIGHTS;
        case FolderRule::data_above:
        case FolderRule::data_home: return FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;
        case FolderRule::app_home: return REMOVE_RIGHTS | FILE_WRITE_DATA | FILE_APPEND_DATA;
    }
    return REMOVE_RIGHTS;
}

// The specific rights an entry's mask gives, its generic rights mapped as
// the file system maps them.
DWORD specific_rights(DWORD mask) {
    if (mask & GENERIC_ALL) mask |= FILE_ALL_ACCESS;
    if (mask & GENERIC_WRITE) mask |= FILE_GENERIC_WRITE;
    return mask;
}

bool trusted(PSID sid, const char* user) {
    char text[184];
    if (!sid_text(sid, text, sizeof text)) return false;
    if (user[0] != '\0' && std::strcmp(text, user) == 0) return true;
    for (const char* known : TRUSTED_SIDS)
        if (std::strcmp(text, known) == 0) return true;
    return false;
}

// Names the account as DOMAIN\name, or by its SID where it has no name.
void name_account(PSID sid, char* field, std::size_t capacity) {
    field[0] = '\0';
    char name[256];
    char domain[256];
    DWORD name_length = sizeof name;
    DWORD domain_length = sizeof domain;
    SID_NAME_USE use;
    if (system_calls().LookupAccountSidA(nullptr, sid, name, &name_length, domain, &domain_length,
                                         &use) &&
        name[0] != '\0') {
        name[sizeof name - 1] = '\0';
        domain[sizeof domain - 1] = '\0';
        if (domain[0] != '\0') {
            append_spelled(field, capacity, domain);
            append_spelled(field, capacity, "\\");
        }
        append_spelled(field, capacity, name);
        return;
    }
    char text[184];
    append_spelled(field, capacity, sid_text(sid, text, sizeof text) ? text : "an unknown account");
}

// Names Everyone, whom a missing list gives every right.
void name_everyone(char* field, std::size_t capacity) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
        name_account(everyone, field, capacity);
        FreeSid(everyone);
    }
}

// The first allow entry that gives someone untrusted a refused right:
// stores the account and returns true. A link's entries for children
// alone never count: what is below it is its target's.
bool refused_entry(PACL list, FolderRule rule, DWORD refused, bool link, const char* user,
                   FolderCheck* check) {
    for (DWORD index = 0; index < list->AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(list, index, &entry)) continue;
        const ACE_HEADER* header = static_cast<const ACE_HEADER*>(entry);
        // Allow entries alone give rights (a callback entry's condition is
        // taken as met); deny entries only take them away.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE &&
            header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
            continue;
        // An entry for children alone reaches only what the copy makes
        // below: protected by its own list, except inside an existing
        // APP_HOME or script folder, whose files inherit it.
        if (header->AceFlags & INHERIT_ONLY_ACE) {
            const bool reaches = (header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE));
            if (link || rule != FolderRule::app_home || !reaches) continue;
        }
        const ACCESS_ALLOWED_ACE* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if ((specific_rights(allowed->Mask) & refused) == 0 || trusted(sid, user)) continue;
        name_account(sid, check->account, sizeof check->account);
        return true;
    }
    return false;
}

// Whoever may rewrite a link or junction, or remove it, can point the path
// anywhere, whatever the rule lets them do to a folder.
constexpr DWORD LINK_RIGHTS = DELETE | FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES;

// Judges a link or junction (any reparse point) at the path itself, opened
// as such, as a folder is judged: by its owner and its list, where also
// the rights to rewrite or remove it are refused. False, with check left as
// it is, when the path is no link or a safe one; else true with the
// verdict (unchecked when it cannot be opened or its list read).
bool judged_as_link(const char* path, FolderRule rule, bool lists_kept, const char* user,
                    FolderCheck* check) {
    HANDLE handle = system_calls().CreateFileA(
        path, READ_CONTROL | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return true;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = system_calls().GetFileInformationByHandle(handle, &info) != 0;
    if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        system_calls().CloseHandle(handle);
        return !known;
    }
    PSID owner = nullptr;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = system_calls().GetSecurityInfo(
        handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
        nullptr, &list, nullptr, &descriptor);
    system_calls().CloseHandle(handle);
    if (read != ERROR_SUCCESS) return true;
    bool safe = false;
    if (owner != nullptr && !trusted(owner, user)) {
        check->verdict = FolderVerdict::unsafe;
        check->owner_unsafe = true;
        name_account(owner, check->account, sizeof check->account);
    } else if (list == nullptr) {
        if (lists_kept) {
            check->verdict = FolderVerdict::unsafe;
            name_everyone(check->account, sizeof check->account);
        }
    } else if (refused_entry(list, rule, refused_rights(rule) | LINK_RIGHTS, true, user, check)) {
        check->verdict = FolderVerdict::unsafe;
    } else {
        safe = owner != nullptr;
    }
    LocalFree(descriptor);
    return !safe;
}

}  // namespace

FolderCheck check_folder(const char* path, FolderRule rule) {
    FolderCheck check = {FolderVerdict::unchecked, false, ""};
    // Where the volume cannot tell, a folder without a list is not judged.
    const AccessLists lists = volume_access_lists(path);
    if (lists == AccessLists::not_kept) return check;
    char user[184];
    if (!running_user_sid(user, sizeof user)) user[0] = '\0';
    // A link on the path is judged by who may change it before what it
    // leads to is judged as a folder. (A drive root or share is none.)
    if (rule != FolderRule::root &&
        judged_as_link(path, rule, lists == AccessLists::kept, user, &check))
        return check;
    PSID owner = nullptr;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (system_calls().GetNamedSecurityInfoA(
            path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
            nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS)
        return check;
    // No list at all: on a volume that keeps lists, every user may do
    // anything there; elsewhere (a share that gives none) nothing is told.
    if (list == nullptr && lists == AccessLists::kept) {
        check.verdict = FolderVerdict::unsafe;
        name_everyone(check.account, sizeof check.account);
    } else if (list != nullptr) {
        if (rule != FolderRule::root && owner != nullptr && !trusted(owner, user)) {
            check.verdict = FolderVerdict::unsafe;
            check.owner_unsafe = true;
            name_account(owner, check.account, sizeof check.account);
        } else if (refused_entry(list, rule, refused_rights(rule), false, user, &check)) {
            check.verdict = FolderVerdict::unsafe;
        } else if (owner != nullptr || rule == FolderRule::root) {
            check.verdict = FolderVerdict::safe;
        }
    }
    LocalFree(descriptor);
    return check;
}

}  // namespace platform
