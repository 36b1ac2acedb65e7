// Files and folders on Windows: the paths go to the system unchanged.
#include <windows.h>
#include <shlobj.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace platform {

bool get_module_path(char* field, std::size_t capacity) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || length + 1 > capacity) return false;
    std::memcpy(field, path, length + 1);
    return true;
}

bool stat_is_directory(const char* path) {
    struct _stat status;
    return _stat(path, &status) == 0 && (status.st_mode & _S_IFDIR) != 0;
}

namespace {

bool file_identity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool known = GetFileInformationByHandle(handle, info) != 0;
    CloseHandle(handle);
    return known;
}

}  // namespace

bool same_file(const char* first, const char* second) {
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    return file_identity(first, &a) && file_identity(second, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

std::FILE* open_file(const char* path, const char* mode) {
    return std::fopen(path, mode);
}

bool truncate_file(std::FILE* file, long length) {
    std::fflush(file);
    return _chsize(_fileno(file), length) == 0;
}

bool remove_file(const char* path) {
    return DeleteFileA(path) != 0;
}

unsigned long create_directories(const char* path) {
    int result = SHCreateDirectoryExA(nullptr, path, nullptr);
    if (result == ERROR_SUCCESS) return 0;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || result == ERROR_ALREADY_EXISTS)
        return ERROR_CODE_ALREADY_EXISTS;
    return error != 0 ? error : static_cast<unsigned long>(result);
}

struct DirectoryScan {
    HANDLE handle;
};

namespace {

void store_entry(const WIN32_FIND_DATAA& data, DirectoryEntry* entry) {
    std::snprintf(entry->name, sizeof entry->name, "%s", data.cFileName);
    entry->is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

DirectoryScan* find_first_entry(const char* pattern, DirectoryEntry* entry) {
    WIN32_FIND_DATAA data;
    HANDLE handle = FindFirstFileA(pattern, &data);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    store_entry(data, entry);
    return new DirectoryScan{handle};
}

bool find_next_entry(DirectoryScan* scan, DirectoryEntry* entry) {
    WIN32_FIND_DATAA data;
    if (!FindNextFileA(scan->handle, &data)) return false;
    store_entry(data, entry);
    return true;
}

void find_close(DirectoryScan* scan) {
    FindClose(scan->handle);
    delete scan;
}

unsigned long copy_file(const char* source, const char* destination) {
    if (CopyFileA(source, destination, FALSE)) return 0;
    return GetLastError();
}

}  // namespace platform
