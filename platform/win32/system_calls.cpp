// The table starts with the system's own functions.
#include "platform/win32/system_calls.h"

#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdlib>

namespace platform {

namespace {

int runtime_stat(const char* path, struct _stat* status) {
    return _stat(path, status);
}

}  // namespace

const SystemCalls& real_system_calls() {
    static const SystemCalls real = {
        ::CreateFileA,
        ::WriteFile,
        ::CloseHandle,
        ::CopyFileA,
        ::SHCreateDirectoryExA,
        ::FindFirstFileW,
        ::FindNextFileW,
        ::GetModuleFileNameW,
        ::GetDiskFreeSpaceExA,
        ::ConvertStringSecurityDescriptorToSecurityDescriptorA,
        ::SetNamedSecurityInfoA,
        ::GetFileAttributesExA,
        ::GetFileInformationByHandle,
        ::DeleteFileA,
        ::FindClose,
        runtime_stat,
        ::GetVolumePathNameA,
        ::GetDiskFreeSpaceA,
        ::GetVolumeInformationA,
        ::GetNamedSecurityInfoA,
        ::LookupAccountSidA,
        ::CreateDirectoryA,
        ::system,
        ::CoInitialize,
        ::CoCreateInstance,
        ::SHGetFolderPathA,
        ::GetSecurityInfo,
        ::RemoveDirectoryA,
        ::GetProcAddress,
    };
    return real;
}

SystemCalls& system_calls() {
    static SystemCalls in_use = real_system_calls();
    return in_use;
}

}  // namespace platform
