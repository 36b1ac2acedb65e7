// The fault seam of the POSIX backend: stand-ins for its system calls that
// count each call and fail it where a test injected a fault, and otherwise
// call the system. They are put into the table when a test binary starts.
#include <errno.h>
#include <fcntl.h>
#include <string.h>

#include <cstdarg>
#include <cstdio>
#include <map>

#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "platform/posix/host_path.h"
#include "platform/posix/system_calls.h"

namespace platform {
namespace fault_injection {
namespace {

// The host error that the backend reads back as the Windows code.
int errno_of(unsigned long code) {
    switch (code) {
        case ERROR_CODE_FILE_NOT_FOUND:
        case ERROR_CODE_PATH_NOT_FOUND: return ENOENT;
        case ERROR_CODE_ACCESS_DENIED: return EACCES;
        case ERROR_CODE_DISK_FULL: return ENOSPC;
        case ERROR_CODE_SHARING_VIOLATION: return ETXTBSY;
        default: return EIO;
    }
}

bool failing(Operation operation) {
    unsigned long code = 0;
    if (!take_fault(operation, &code)) return false;
    errno = errno_of(code);
    return true;
}

// The descriptors open for the log's appends, and for whole-file writes
// with the host error every write to it fails with (0: none fails).
std::map<int, bool> append_files;
std::map<int, int> text_files;

// An append opens with O_APPEND, a whole-file write with O_TRUNC (the copy
// opens its files itself); other opens pass unchanged.
int open_stand_in(const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, int));
        va_end(arguments);
    }
    const bool append = (flags & O_APPEND) != 0;
    const bool text = !append && (flags & O_TRUNC) != 0;
    if (append && failing(Operation::append_open)) return -1;
    if (text && failing(Operation::open_file)) return -1;
    int file = real_system_calls().open(path, flags, mode);
    if (file < 0) return file;
    unsigned long code = 0;
    if (append) append_files[file] = true;
    if (text) text_files[file] = take_fault(Operation::write_file, &code) ? errno_of(code) : 0;
    return file;
}

ssize_t write_stand_in(int file, const void* bytes, std::size_t length) {
    auto text = text_files.find(file);
    if (text != text_files.end() && text->second != 0) {
        errno = text->second;
        return -1;
    }
    if (append_files.count(file) != 0 && failing(Operation::append_write)) return -1;
    return real_system_calls().write(file, bytes, length);
}

int close_stand_in(int file) {
    append_files.erase(file);
    text_files.erase(file);
    return real_system_calls().close(file);
}

Placement copy_stand_in(const char* source, int folder, const char* name) {
    Placement placed;
    if (take_fault(Operation::copy_file, &placed.code)) return placed;
    return real_system_calls().copy_file(source, folder, name);
}

// A home's folder is made with its parents, each folder below it on its own:
// either is one call of the operation.
int make_folders_stand_in(char* host, std::size_t length, mode_t mode) {
    if (failing(Operation::create_directories)) return errno;
    return real_system_calls().make_folders(host, length, mode);
}

int mkdirat_stand_in(int folder, const char* name, mode_t mode) {
    if (failing(Operation::create_directories)) return -1;
    return real_system_calls().mkdirat(folder, name, mode);
}

DIR* opendir_stand_in(const char* path) {
    if (failing(Operation::find_first_entry)) return nullptr;
    return real_system_calls().opendir(path);
}

// The running executable as a test named it: its host path.
ssize_t readlink_stand_in(const char* path, char* buffer, std::size_t capacity) {
    const char* chosen = module_path_override();
    if (chosen == nullptr || strcmp(path, "/proc/self/exe") != 0)
        return real_system_calls().readlink(path, buffer, capacity);
    char host[4096];
    if (!host_path::to_host(chosen, host, sizeof host)) {
        errno = ENOENT;
        return -1;
    }
    std::size_t length = strlen(host);
    if (length > capacity) length = capacity;
    memcpy(buffer, host, length);
    return static_cast<ssize_t>(length);
}

// The free space a test set for the drive of the folder, in the file
// system's own units, as a volume of its own.
int statvfs_stand_in(const char* path, struct statvfs* system) {
    if (failing(Operation::free_space)) return -1;
    char windows[4096];
    unsigned long long bytes = 0;
    unsigned drive = 0;
    if (host_path::to_windows(path, windows, sizeof windows) &&
        free_space_override(windows, &bytes, &drive) &&
        real_system_calls().statvfs(path, system) == 0) {
        const unsigned long long unit = system->f_frsize != 0 ? system->f_frsize : 1;
        system->f_bavail = static_cast<fsblkcnt_t>(bytes / unit);
        system->f_fsid = 0xF0000000UL + drive;
        return 0;
    }
    return real_system_calls().statvfs(path, system);
}

struct StandIns {
    StandIns() {
        SystemCalls& calls = system_calls();
        calls.open = open_stand_in;
        calls.write = write_stand_in;
        calls.close = close_stand_in;
        calls.copy_file = copy_stand_in;
        calls.make_folders = make_folders_stand_in;
        calls.mkdirat = mkdirat_stand_in;
        calls.opendir = opendir_stand_in;
        calls.readlink = readlink_stand_in;
        calls.statvfs = statvfs_stand_in;
    }
} stand_ins;

}  // namespace
}  // namespace fault_injection
}  // namespace platform
