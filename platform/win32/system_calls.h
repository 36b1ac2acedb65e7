// The system calls of the Win32 backend, each a named row of one table so
// that a test build can put failing stand-ins in their place. The program
// itself never changes a row: nothing outside a test reaches the table.
#pragma once

#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdlib>

#define SETUP_SYSTEM_CALL_CONVENTION WINAPI
#include "../system_call.h"  // the backends' own, not public

namespace platform {

// The C runtime's calls, in the system's calling convention as every row.
inline int WINAPI runtime_stat(const char* path, struct _stat* status) {
    return _stat(path, status);
}
inline int WINAPI runtime_system(const char* command) {
    return std::system(command);
}

// ROW(name, the system's function, what a failed call returns, the last
// error set). The _text rows are the whole-file writes', the _append rows
// the log's, so that a test can fail one without the other.
#define SETUP_WIN32_SYSTEM_CALLS(ROW)                                                   \
    ROW(CreateFileA, ::CreateFileA, INVALID_HANDLE_VALUE)                               \
    ROW(CreateFileA_text, ::CreateFileA, INVALID_HANDLE_VALUE)                          \
    ROW(CreateFileA_append, ::CreateFileA, INVALID_HANDLE_VALUE)                        \
    ROW(WriteFile_text, ::WriteFile, FALSE)                                             \
    ROW(WriteFile_append, ::WriteFile, FALSE)                                           \
    ROW(ReadFile, ::ReadFile, FALSE)                                                    \
    ROW(SetFilePointerEx, ::SetFilePointerEx, FALSE)                                    \
    ROW(CloseHandle, ::CloseHandle, FALSE)                                              \
    ROW(CopyFileA, ::CopyFileA, FALSE)                                                  \
    ROW(SHCreateDirectoryExA, ::SHCreateDirectoryExA, static_cast<int>(GetLastError())) \
    ROW(CreateDirectoryA, ::CreateDirectoryA, FALSE)                                    \
    ROW(RemoveDirectoryA, ::RemoveDirectoryA, FALSE)                                    \
    ROW(DeleteFileA, ::DeleteFileA, FALSE)                                              \
    ROW(FindFirstFileW, ::FindFirstFileW, INVALID_HANDLE_VALUE)                         \
    ROW(FindNextFileW, ::FindNextFileW, FALSE)                                          \
    ROW(FindClose, ::FindClose, FALSE)                                                  \
    ROW(GetModuleFileNameW, ::GetModuleFileNameW, 0)                                    \
    ROW(GetDiskFreeSpaceExA, ::GetDiskFreeSpaceExA, FALSE)                              \
    ROW(GetDiskFreeSpaceA, ::GetDiskFreeSpaceA, FALSE)                                  \
    ROW(GetVolumePathNameA, ::GetVolumePathNameA, FALSE)                                \
    ROW(GetVolumeInformationA, ::GetVolumeInformationA, FALSE)                          \
    ROW(GetFileAttributesExA, ::GetFileAttributesExA, FALSE)                            \
    ROW(GetFileInformationByHandle, ::GetFileInformationByHandle, FALSE)                \
    ROW(stat, runtime_stat, -1)                                                         \
    ROW(ConvertStringSecurityDescriptorToSecurityDescriptorA,                           \
        ::ConvertStringSecurityDescriptorToSecurityDescriptorA, FALSE)                  \
    ROW(SetNamedSecurityInfoA, ::SetNamedSecurityInfoA, GetLastError())                 \
    ROW(GetNamedSecurityInfoA, ::GetNamedSecurityInfoA, GetLastError())                 \
    ROW(GetSecurityInfo, ::GetSecurityInfo, GetLastError())                             \
    ROW(LookupAccountSidA, ::LookupAccountSidA, FALSE)                                  \
    ROW(system, runtime_system, -1)                                                     \
    ROW(CoInitialize, ::CoInitialize, HRESULT_FROM_WIN32(GetLastError()))               \
    ROW(CoCreateInstance, ::CoCreateInstance, HRESULT_FROM_WIN32(GetLastError()))       \
    ROW(SHGetFolderPathA, ::SHGetFolderPathA, HRESULT_FROM_WIN32(GetLastError()))       \
    ROW(GetProcAddress, ::GetProcAddress, nullptr)

SETUP_SYSTEM_CALL_TABLE(SETUP_WIN32_SYSTEM_CALLS)

}  // namespace platform
