// The system calls of the Win32 file backend, called through one table so
// that a test build can put failing stand-ins in their place. The program
// itself never changes an entry: nothing outside a test reaches the table.
#pragma once

#include <windows.h>
#include <aclapi.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace platform {

struct SystemCalls {
    HANDLE(WINAPI* CreateFileA)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL(WINAPI* WriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* CloseHandle)(HANDLE);
    BOOL(WINAPI* CopyFileA)(LPCSTR, LPCSTR, BOOL);
    int(WINAPI* SHCreateDirectoryExA)(HWND, LPCSTR, const SECURITY_ATTRIBUTES*);
    HANDLE(WINAPI* FindFirstFileW)(LPCWSTR, LPWIN32_FIND_DATAW);
    BOOL(WINAPI* FindNextFileW)(HANDLE, LPWIN32_FIND_DATAW);
    DWORD(WINAPI* GetModuleFileNameW)(HMODULE, LPWSTR, DWORD);
    BOOL(WINAPI* GetDiskFreeSpaceExA)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    BOOL(WINAPI* ConvertStringSecurityDescriptorToSecurityDescriptorA)
    (LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
    DWORD(WINAPI* SetNamedSecurityInfoA)
    (LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL, PACL);
    BOOL(WINAPI* GetFileAttributesExA)(LPCSTR, GET_FILEEX_INFO_LEVELS, LPVOID);
    BOOL(WINAPI* GetFileInformationByHandle)(HANDLE, LPBY_HANDLE_FILE_INFORMATION);
    BOOL(WINAPI* DeleteFileA)(LPCSTR);
    BOOL(WINAPI* FindClose)(HANDLE);
    int (*stat)(const char*, struct _stat*);  // the C runtime's _stat
    BOOL(WINAPI* GetVolumePathNameA)(LPCSTR, LPSTR, DWORD);
    BOOL(WINAPI* GetDiskFreeSpaceA)(LPCSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD);
    BOOL(WINAPI* GetVolumeInformationA)
    (LPCSTR, LPSTR, DWORD, LPDWORD, LPDWORD, LPDWORD, LPSTR, DWORD);
    DWORD(WINAPI* GetNamedSecurityInfoA)
    (LPCSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*, PACL*, PACL*,
     PSECURITY_DESCRIPTOR*);
    BOOL(WINAPI* LookupAccountSidA)(LPCSTR, PSID, LPSTR, LPDWORD, LPSTR, LPDWORD, PSID_NAME_USE);
    BOOL(WINAPI* CreateDirectoryA)(LPCSTR, LPSECURITY_ATTRIBUTES);
    int (*system)(const char*);  // the C runtime's system()
    HRESULT(WINAPI* CoInitialize)(LPVOID);
    HRESULT(WINAPI* CoCreateInstance)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
    HRESULT(WINAPI* SHGetFolderPathA)(HWND, int, HANDLE, DWORD, LPSTR);
    DWORD(WINAPI* GetSecurityInfo)
    (HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*, PACL*, PACL*,
     PSECURITY_DESCRIPTOR*);
    BOOL(WINAPI* RemoveDirectoryA)(LPCSTR);
    FARPROC(WINAPI* GetProcAddress)(HMODULE, LPCSTR);
};

// The table in use; it starts with the system's own functions. Both are
// made at their first use, so the start-up's own steps, which run before
// the program's other static data is made, may use them.
SystemCalls& system_calls();

// The system's own functions, for a stand-in that lets a call through.
const SystemCalls& real_system_calls();

}  // namespace platform
