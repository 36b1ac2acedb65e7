// The system calls of the POSIX backend, each a named row of one table so
// that a test build can put failing stand-ins in their place, as the Win32
// backend's table does. The program itself never changes a row: nothing
// outside a test reaches the table. The tree copy of one file and the
// creation of a folder with its missing parents are one row each, as
// CopyFileA and SHCreateDirectoryExA are on Windows (their own calls go to
// the system directly).
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

#include "platform/platform.h"
#include "../system_call.h"  // the backends' own, not public

namespace platform {

// open, openat and fcntl with fixed arguments.
inline int open_file(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}
inline int open_file_at(int folder, const char* name, int flags, mode_t mode) {
    return ::openat(folder, name, flags, mode);
}
inline int lock_file(int file, int command, struct flock* lock) {
    return ::fcntl(file, command, lock);
}

// Copies one host file to the name in the open folder, as copy_file_into
// promises (the target never opened, never followed).
Placement copy_host_file(const char* source, int folder, const char* name);

// Creates the host folder, its missing parents first; 0 or an errno. The
// path is the caller's, changed during the call and restored. The folder
// gets the mode (0: as its parent's tree has it, 0755 or 0777), its new
// parents theirs, whatever the umask.
int make_host_folders(char* host, std::size_t length, mode_t mode);

// The Windows error code of a host error.
unsigned long error_code_of(int error);

// Writes all the bytes with the write function, going on after an
// interruption. False with errno (EIO when nothing was taken) on failure.
template <typename Write>
bool write_all(const Write& write, int file, const void* bytes, std::size_t length) {
    const char* next = static_cast<const char*>(bytes);
    while (length > 0) {
        ssize_t written = write(file, next, length);
        if (written < 0 && errno == EINTR) continue;
        if (written == 0) errno = EIO;
        if (written <= 0) return false;
        next += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

// ROW(name, the system's function, what a failed call returns, errno set).
// open_text and write_text are the whole-file writes', open_append and
// write_append the log's; open and write serve the rest.
#define SETUP_POSIX_SYSTEM_CALLS(ROW)                               \
    ROW(open, open_file, -1)                                        \
    ROW(open_text, open_file, -1)                                   \
    ROW(open_append, open_file, -1)                                 \
    ROW(write, ::write, -1)                                         \
    ROW(write_text, ::write, -1)                                    \
    ROW(write_append, ::write, -1)                                  \
    ROW(pread, ::pread, -1)                                         \
    ROW(close, ::close, -1)                                         \
    ROW(fstat, ::fstat, -1)                                         \
    ROW(lseek, ::lseek, -1)                                         \
    ROW(ftruncate, ::ftruncate, -1)                                 \
    ROW(fcntl, lock_file, -1)                                       \
    ROW(fchmod, ::fchmod, -1)                                       \
    ROW(stat, ::stat, -1)                                           \
    ROW(unlink, ::unlink, -1)                                       \
    ROW(chmod, ::chmod, -1)                                         \
    ROW(readlink, ::readlink, -1)                                   \
    ROW(statvfs, ::statvfs, -1)                                     \
    ROW(opendir, ::opendir, nullptr)                                \
    ROW(readdir, ::readdir, nullptr)                                \
    ROW(closedir, ::closedir, -1)                                   \
    ROW(fstatat, ::fstatat, -1)                                     \
    ROW(fsync, ::fsync, -1)                                         \
    ROW(rename, ::rename, -1)                                       \
    ROW(fork, ::fork, -1)                                           \
    ROW(waitpid, ::waitpid, -1)                                     \
    ROW(openat, open_file_at, -1)                                   \
    ROW(mkdirat, ::mkdirat, -1)                                     \
    ROW(unlinkat, ::unlinkat, -1)                                   \
    ROW(copy_file, copy_host_file, Placement{error_code_of(errno)}) \
    ROW(make_folders, make_host_folders, errno)

SETUP_SYSTEM_CALL_TABLE(SETUP_POSIX_SYSTEM_CALLS)

}  // namespace platform
