// The access control list of a folder this run created.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/win32/sid_text.h"
#include "platform/win32/system_calls.h"

namespace platform {

namespace {

// Builds the protected list's descriptor; the caller frees it (LocalFree).
DWORD build_descriptor(bool writable_for_users, PSECURITY_DESCRIPTOR* descriptor) {
    char user[184];
    if (!running_user_sid(user, sizeof user)) return ERROR_CODE_ACCESS_DENIED;
    // Modify (0x1301bf) or read and execute (0x1200a9) for Authenticated Users.
    char sddl[400];
    std::snprintf(sddl, sizeof sddl,
                  "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;%s)(A;OICI;%s;;;AU)", user,
                  writable_for_users ? "0x1301bf" : "0x1200a9");
    *descriptor = nullptr;
    if (!system_calls().ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                             descriptor, nullptr))
        return GetLastError();
    return 0;
}

}  // namespace

// The descriptor goes with the creation: no moment passes in which the
// folder exists with the list it would inherit (Authenticated Users may
// change what is below C:\).
unsigned long create_protected_folder(const char* path, bool writable_for_users) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD built = build_descriptor(writable_for_users, &descriptor);
    if (built != 0) return built;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    int result = system_calls().SHCreateDirectoryExA(nullptr, path, &attributes);
    DWORD error = result == ERROR_SUCCESS ? 0 : GetLastError();
    LocalFree(descriptor);
    if (result == ERROR_SUCCESS) {
        // FAT and exFAT take the folder and drop the list. Where the volume
        // cannot tell, the list is set once more, so that a failure is told.
        const AccessLists lists = volume_access_lists(path);
        if (lists == AccessLists::unknown) return protect_folder(path, writable_for_users);
        return lists == AccessLists::kept ? 0 : ERROR_CODE_NOT_SUPPORTED;
    }
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ||
        result == ERROR_ALREADY_EXISTS || result == ERROR_FILE_EXISTS)
        return ERROR_CODE_ALREADY_EXISTS;
    return error != 0 ? error : static_cast<unsigned long>(result);
}

// Where the volume cannot tell, the list is set: a failure is then told.
unsigned long protect_folder(const char* path, bool writable_for_users) {
    if (volume_access_lists(path) == AccessLists::not_kept) return ERROR_CODE_NOT_SUPPORTED;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD built = build_descriptor(writable_for_users, &descriptor);
    if (built != 0) return built;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL list = nullptr;
    DWORD result = ERROR_INVALID_SECURITY_DESCR;
    if (GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted) && present) {
        char target[MAX_PATH];
        int length = std::snprintf(target, sizeof target, "%s", path);
        result = length < 0 || length >= MAX_PATH
                     ? ERROR_FILENAME_EXCED_RANGE
                     : system_calls().SetNamedSecurityInfoA(
                           target, SE_FILE_OBJECT,
                           DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                           nullptr, list, nullptr);
    }
    LocalFree(descriptor);
    return result;
}

}  // namespace platform
