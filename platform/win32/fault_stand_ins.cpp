// The fault seam of the Win32 backend: stand-ins for its system calls that
// count each call and fail it where a test injected a fault, and otherwise
// call the system. They are put into the table when the test exe starts.
#include <windows.h>

#include <map>

#include "platform/fault_injection.h"
#include "platform/win32/system_calls.h"

namespace platform {
namespace fault_injection {
namespace {

bool failing(Operation operation) {
    unsigned long code = 0;
    if (!take_fault(operation, &code)) return false;
    SetLastError(code);
    return true;
}

BOOL WINAPI copy_stand_in(LPCSTR source, LPCSTR destination, BOOL fail_if_exists) {
    if (failing(Operation::copy_file)) return FALSE;
    return real_system_calls().CopyFileA(source, destination, fail_if_exists);
}

// create_directories tries CreateDirectoryA first and then, when that fails,
// the shell with the same path: one call of the operation, counted once.
// The shell's stand-in then gives the fault the first stand-in took.
struct DirectoryCall {
    LPCSTR path = nullptr;
    bool failed = false;
    DWORD code = 0;
} directory_call;

int WINAPI create_directories_stand_in(HWND window, LPCSTR path,
                                       const SECURITY_ATTRIBUTES* security) {
    if (path != nullptr && path == directory_call.path) {
        directory_call.path = nullptr;
        if (directory_call.failed) {
            SetLastError(directory_call.code);
            return static_cast<int>(directory_call.code);
        }
    } else if (failing(Operation::create_directories)) {
        return static_cast<int>(GetLastError());
    }
    return real_system_calls().SHCreateDirectoryExA(window, path, security);
}

BOOL WINAPI create_directory_stand_in(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
    // Only a failure other than "already exists" goes on to the shell.
    directory_call = {path, failing(Operation::create_directories), GetLastError()};
    BOOL made = directory_call.failed ? FALSE : real_system_calls().CreateDirectoryA(path, security);
    DWORD error = made ? 0 : GetLastError();
    if (made || error == ERROR_ALREADY_EXISTS) directory_call.path = nullptr;
    SetLastError(error);
    return made;
}

// The handles open for the log's appends, and for whole-file writes with
// the code every write to it fails with (0: none fails).
std::map<HANDLE, bool> append_handles;
std::map<HANDLE, unsigned long> text_handles;

// Append access alone marks the log's append, a write that creates or
// replaces the file a whole-file write; other opens pass unchanged.
HANDLE WINAPI create_file_stand_in(LPCSTR path, DWORD access, DWORD share,
                                   LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                   HANDLE model) {
    const bool append = access == FILE_APPEND_DATA;
    const bool text = access == GENERIC_WRITE && disposition == CREATE_ALWAYS;
    if (append && failing(Operation::append_open)) return INVALID_HANDLE_VALUE;
    if (text && failing(Operation::open_file)) return INVALID_HANDLE_VALUE;
    HANDLE file =
        real_system_calls().CreateFileA(path, access, share, security, disposition, flags, model);
    if (file == INVALID_HANDLE_VALUE) return file;
    unsigned long code = 0;
    if (append) append_handles[file] = true;
    if (text) text_handles[file] = take_fault(Operation::write_file, &code) ? code : 0;
    return file;
}

BOOL WINAPI write_stand_in(HANDLE file, LPCVOID bytes, DWORD length, LPDWORD written,
                           LPOVERLAPPED overlapped) {
    auto text = text_handles.find(file);
    const unsigned long text_code = text != text_handles.end() ? text->second : 0;
    if (text_code != 0) SetLastError(text_code);
    if (text_code != 0 || (append_handles.count(file) != 0 && failing(Operation::append_write))) {
        if (written != nullptr) *written = 0;
        return FALSE;
    }
    return real_system_calls().WriteFile(file, bytes, length, written, overlapped);
}

BOOL WINAPI close_stand_in(HANDLE file) {
    append_handles.erase(file);
    text_handles.erase(file);
    return real_system_calls().CloseHandle(file);
}

HANDLE WINAPI find_first_stand_in(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
    if (failing(Operation::find_first_entry)) return INVALID_HANDLE_VALUE;
    return real_system_calls().FindFirstFileW(pattern, data);
}

DWORD WINAPI module_path_stand_in(HMODULE module, LPWSTR path, DWORD capacity) {
    const char* chosen = module_path_override();
    if (chosen == nullptr) return real_system_calls().GetModuleFileNameW(module, path, capacity);
    int length = MultiByteToWideChar(CP_ACP, 0, chosen, -1, path, static_cast<int>(capacity));
    return length > 0 ? static_cast<DWORD>(length - 1) : 0;
}

BOOL WINAPI free_space_stand_in(LPCSTR folder, PULARGE_INTEGER available, PULARGE_INTEGER total,
                                PULARGE_INTEGER total_free) {
    if (failing(Operation::free_space)) return FALSE;
    unsigned long long bytes = 0;
    if (folder == nullptr || !free_space_override(folder, &bytes))
        return real_system_calls().GetDiskFreeSpaceExA(folder, available, total, total_free);
    if (available != nullptr) available->QuadPart = bytes;
    if (total != nullptr) total->QuadPart = bytes;
    if (total_free != nullptr) total_free->QuadPart = bytes;
    return TRUE;
}

struct StandIns {
    StandIns() {
        SystemCalls& calls = system_calls();
        calls.CopyFileA = copy_stand_in;
        calls.SHCreateDirectoryExA = create_directories_stand_in;
        calls.CreateDirectoryA = create_directory_stand_in;
        calls.CreateFileA = create_file_stand_in;
        calls.WriteFile = write_stand_in;
        calls.CloseHandle = close_stand_in;
        calls.FindFirstFileW = find_first_stand_in;
        calls.GetModuleFileNameW = module_path_stand_in;
        calls.GetDiskFreeSpaceExA = free_space_stand_in;
    }
} stand_ins;

}  // namespace
}  // namespace fault_injection
}  // namespace platform
