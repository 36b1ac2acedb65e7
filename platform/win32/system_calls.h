// The system calls of the Win32 backend, each a named row of one table so
// that a test build can put failing stand-ins in their place. The program
// itself never changes a row: nothing outside a test reaches the table. The
// log's appends and the whole-file writes have rows of their own, so that a
// test can fail one without the other.
#pragma once

#include <windows.h>
#include <aclapi.h>
#include <sys/stat.h>
#include <sys/types.h>

#include "../system_call.h"  // the backends' own, not public

namespace platform {

// ROW(name, function type, the system's function, what a failed call
// returns, the last error set). stat and system are the C runtime's. The
// _text rows are the whole-file writes', the _append rows the log's.
#define SETUP_WIN32_SYSTEM_CALLS(ROW)                                                              \
    ROW(CreateFileA,                                                                               \
        HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE),        \
        ::CreateFileA, INVALID_HANDLE_VALUE)                                                       \
    ROW(CreateFileA_text,                                                                          \
        HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE),        \
        ::CreateFileA, INVALID_HANDLE_VALUE)                                                       \
    ROW(CreateFileA_append,                                                                        \
        HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE),        \
        ::CreateFileA, INVALID_HANDLE_VALUE)                                                       \
    ROW(WriteFile_text, BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED), ::WriteFile, \
        FALSE)                                                                                     \
    ROW(WriteFile_append, BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED),            \
        ::WriteFile, FALSE)                                                                        \
    ROW(ReadFile, BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED), ::ReadFile, FALSE)  \
    ROW(SetFilePointerEx, BOOL(WINAPI*)(HANDLE, LARGE_INTEGER, PLARGE_INTEGER, DWORD),             \
        ::SetFilePointerEx, FALSE)                                                                 \
    ROW(CloseHandle, BOOL(WINAPI*)(HANDLE), ::CloseHandle, FALSE)                                  \
    ROW(CopyFileA, BOOL(WINAPI*)(LPCSTR, LPCSTR, BOOL), ::CopyFileA, FALSE)                        \
    ROW(SHCreateDirectoryExA, int(WINAPI*)(HWND, LPCSTR, const SECURITY_ATTRIBUTES*),              \
        ::SHCreateDirectoryExA, static_cast<int>(GetLastError()))                                  \
    ROW(CreateDirectoryA, BOOL(WINAPI*)(LPCSTR, LPSECURITY_ATTRIBUTES), ::CreateDirectoryA, FALSE) \
    ROW(RemoveDirectoryA, BOOL(WINAPI*)(LPCSTR), ::RemoveDirectoryA, FALSE)                        \
    ROW(DeleteFileA, BOOL(WINAPI*)(LPCSTR), ::DeleteFileA, FALSE)                                  \
    ROW(FindFirstFileW, HANDLE(WINAPI*)(LPCWSTR, LPWIN32_FIND_DATAW), ::FindFirstFileW,            \
        INVALID_HANDLE_VALUE)                                                                      \
    ROW(FindNextFileW, BOOL(WINAPI*)(HANDLE, LPWIN32_FIND_DATAW), ::FindNextFileW, FALSE)          \
    ROW(FindClose, BOOL(WINAPI*)(HANDLE), ::FindClose, FALSE)                                      \
    ROW(GetModuleFileNameW, DWORD(WINAPI*)(HMODULE, LPWSTR, DWORD), ::GetModuleFileNameW, 0)       \
    ROW(GetDiskFreeSpaceExA,                                                                       \
        BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER),                  \
        ::GetDiskFreeSpaceExA, FALSE)                                                              \
    ROW(GetDiskFreeSpaceA, BOOL(WINAPI*)(LPCSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD),              \
        ::GetDiskFreeSpaceA, FALSE)                                                                \
    ROW(GetVolumePathNameA, BOOL(WINAPI*)(LPCSTR, LPSTR, DWORD), ::GetVolumePathNameA, FALSE)      \
    ROW(GetVolumeInformationA,                                                                     \
        BOOL(WINAPI*)(LPCSTR, LPSTR, DWORD, LPDWORD, LPDWORD, LPDWORD, LPSTR, DWORD),              \
        ::GetVolumeInformationA, FALSE)                                                            \
    ROW(GetFileAttributesExA, BOOL(WINAPI*)(LPCSTR, GET_FILEEX_INFO_LEVELS, LPVOID),               \
        ::GetFileAttributesExA, FALSE)                                                             \
    ROW(GetFileInformationByHandle, BOOL(WINAPI*)(HANDLE, LPBY_HANDLE_FILE_INFORMATION),           \
        ::GetFileInformationByHandle, FALSE)                                                       \
    ROW(stat, int(WINAPI*)(const char*, struct _stat*), runtime_stat, -1)                          \
    ROW(ConvertStringSecurityDescriptorToSecurityDescriptorA,                                      \
        BOOL(WINAPI*)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG),                               \
        ::ConvertStringSecurityDescriptorToSecurityDescriptorA, FALSE)                             \
    ROW(SetNamedSecurityInfoA,                                                                     \
        DWORD(WINAPI*)(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL, PACL),       \
        ::SetNamedSecurityInfoA, GetLastError())                                                   \
    ROW(GetNamedSecurityInfoA,                                                                     \
        DWORD(WINAPI*)(LPCSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*, PACL*, PACL*,   \
                       PSECURITY_DESCRIPTOR*),                                                     \
        ::GetNamedSecurityInfoA, GetLastError())                                                   \
    ROW(GetSecurityInfo,                                                                           \
        DWORD(WINAPI*)(HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*, PACL*, PACL*,   \
                       PSECURITY_DESCRIPTOR*),                                                     \
        ::GetSecurityInfo, GetLastError())                                                         \
    ROW(LookupAccountSidA,                                                                         \
        BOOL(WINAPI*)(LPCSTR, PSID, LPSTR, LPDWORD, LPSTR, LPDWORD, PSID_NAME_USE),                \
        ::LookupAccountSidA, FALSE)                                                                \
    ROW(system, int(WINAPI*)(const char*), run_system, -1)                                         \
    ROW(CoInitialize, HRESULT(WINAPI*)(LPVOID), ::CoInitialize,                                    \
        HRESULT_FROM_WIN32(GetLastError()))                                                        \
    ROW(CoCreateInstance, HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*),           \
        ::CoCreateInstance, HRESULT_FROM_WIN32(GetLastError()))                                    \
    ROW(SHGetFolderPathA, HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR), ::SHGetFolderPathA,   \
        HRESULT_FROM_WIN32(GetLastError()))                                                        \
    ROW(GetProcAddress, FARPROC(WINAPI*)(HMODULE, LPCSTR), ::GetProcAddress, nullptr)

struct SystemCalls {
    SETUP_WIN32_SYSTEM_CALLS(SETUP_SYSTEM_CALL_MEMBER)
};

// The table in use; it starts with the system's own functions. It is made
// at its first use, so the start-up's own steps, which run before the
// program's other static data is made, may use it.
SystemCalls& system_calls();

}  // namespace platform
