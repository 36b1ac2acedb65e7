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

namespace {

AppendResult append_with_access(const char* path, const char* bytes, std::size_t length) {
    // Append access alone: every write goes to the end of the file as it is
    // at that moment, so runs that share the file never overwrite each other.
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {AppendOutcome::not_opened, GetLastError(), false};
    AppendResult result = {AppendOutcome::appended, 0, false};
    DWORD written = 0;
    if (!WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr)) {
        result = {AppendOutcome::not_written, GetLastError(), written > 0};
    } else if (written != length) {
        // A handle with append access alone cannot cut the file back, and
        // another run may have appended after the part by now: it stays.
        result = {AppendOutcome::not_written, ERROR_CODE_DISK_FULL, written > 0};
    }
    if (!CloseHandle(file) && result.outcome == AppendOutcome::appended)
        result = {AppendOutcome::not_written, GetLastError(), false};
    return result;
}

// Windows puts each write on a handle with append access alone at the end
// of the file in one step. Wine finds the end and then writes there, so two
// runs could both write at the same end and one entry would overwrite the
// other. Appends of this program therefore take turns, by a named mutex
// (created once and kept for the run); a run that cannot have its turn
// within a few seconds appends all the same.
HANDLE append_turn() {
    static HANDLE turn = CreateMutexA(nullptr, FALSE, "Local\\QuarndelSetupAppendTurn");
    return turn;
}

bool take_append_turn() {
    if (append_turn() == nullptr) return false;
    DWORD waited = WaitForSingleObject(append_turn(), 5000);
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

}  // namespace

AppendResult append_to_file(const char* path, const char* bytes, std::size_t length) {
    bool turn = take_append_turn();
    AppendResult result = append_with_access(path, bytes, length);
    if (turn) ReleaseMutex(append_turn());
    return result;
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

int run_command(const char* command) {
    return std::system(command);
}

}  // namespace platform
