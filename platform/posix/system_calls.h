// The system calls of the POSIX backend, each a named row of one table so
// that a test build can put failing stand-ins in their place, as the Win32
// backend's table does. The program itself never changes a row: nothing
// outside a test reaches the table. The tree copy of one file and the
// creation of a folder with its missing parents are one row each, as
// CopyFileA and SHCreateDirectoryExA are on Windows (their own calls go to
// the system directly). The log's appends and the whole-file writes have
// rows of their own, so that a test can fail one without the other.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cstddef>

#include "platform/platform.h"
#include "../system_call.h"  // the backends' own, not public

namespace platform {

// ROW(name, function type, the system's function, what a failed call
// returns, errno set). open, openat and fcntl take fixed arguments here.
// open_text and write_text are the whole-file writes', open_append and
// write_append the log's; open and write serve the rest.
// copy_file copies one host file to the name in the open folder, as
// copy_file_into promises (the target never opened, never followed).
// make_folders creates the host folder, its missing parents first; 0 or an
// errno. The path is the caller's, changed during the call and restored.
// The folder gets the mode (0: as its parent's tree has it, 0755 or 0777),
// its new parents theirs, whatever the umask.
#define SETUP_POSIX_SYSTEM_CALLS(ROW)                                            \
    ROW(open, int (*)(const char*, int, mode_t), open_file, -1)                  \
    ROW(open_text, int (*)(const char*, int, mode_t), open_file, -1)             \
    ROW(open_append, int (*)(const char*, int, mode_t), open_file, -1)           \
    ROW(write, ssize_t (*)(int, const void*, std::size_t), ::write, -1)          \
    ROW(write_text, ssize_t (*)(int, const void*, std::size_t), ::write, -1)     \
    ROW(write_append, ssize_t (*)(int, const void*, std::size_t), ::write, -1)   \
    ROW(pread, ssize_t (*)(int, void*, std::size_t, off_t), ::pread, -1)         \
    ROW(close, int (*)(int), ::close, -1)                                        \
    ROW(fstat, int (*)(int, struct stat*), ::fstat, -1)                          \
    ROW(lseek, off_t (*)(int, off_t, int), ::lseek, -1)                          \
    ROW(ftruncate, int (*)(int, off_t), ::ftruncate, -1)                         \
    ROW(fcntl, int (*)(int, int, struct flock*), lock_file, -1)                  \
    ROW(fchmod, int (*)(int, mode_t), ::fchmod, -1)                              \
    ROW(stat, int (*)(const char*, struct stat*), ::stat, -1)                    \
    ROW(unlink, int (*)(const char*), ::unlink, -1)                              \
    ROW(chmod, int (*)(const char*, mode_t), ::chmod, -1)                        \
    ROW(readlink, ssize_t (*)(const char*, char*, std::size_t), ::readlink, -1)  \
    ROW(statvfs, int (*)(const char*, struct statvfs*), ::statvfs, -1)           \
    ROW(opendir, DIR* (*)(const char*), ::opendir, nullptr)                      \
    ROW(readdir, struct dirent* (*)(DIR*), ::readdir, nullptr)                   \
    ROW(closedir, int (*)(DIR*), ::closedir, -1)                                 \
    ROW(fstatat, int (*)(int, const char*, struct stat*, int), ::fstatat, -1)    \
    ROW(fsync, int (*)(int), ::fsync, -1)                                        \
    ROW(rename, int (*)(const char*, const char*), ::rename, -1)                 \
    ROW(fork, pid_t (*)(), ::fork, -1)                                           \
    ROW(waitpid, pid_t (*)(pid_t, int*, int), ::waitpid, -1)                     \
    ROW(openat, int (*)(int, const char*, int, mode_t), open_file_at, -1)        \
    ROW(mkdirat, int (*)(int, const char*, mode_t), ::mkdirat, -1)               \
    ROW(unlinkat, int (*)(int, const char*, int), ::unlinkat, -1)                \
    ROW(copy_file, Placement (*)(const char*, int, const char*), copy_host_file, \
        Placement{error_code_of(errno)})                                         \
    ROW(make_folders, int (*)(char*, std::size_t, mode_t), make_host_folders, errno)

struct SystemCalls {
    SETUP_POSIX_SYSTEM_CALLS(SETUP_SYSTEM_CALL_MEMBER)
};

// The table in use; it starts with the system's own functions.
SystemCalls& system_calls();

// The Windows error code of a host error.
unsigned long error_code_of(int error);

}  // namespace platform
