// The system calls of the POSIX file backend, called through one table so
// that a test build can put failing stand-ins in their place, as the Win32
// backend's table does. The program itself never changes an entry: nothing
// outside a test reaches the table. The tree copy of one file and the
// creation of a folder with its missing parents are one entry each, as
// CopyFileA and SHCreateDirectoryExA are on Windows (their own calls go to
// the system directly).
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cstddef>

#include "platform/platform.h"

namespace platform {

struct SystemCalls {
    int (*open)(const char*, int, ...);
    ssize_t (*write)(int, const void*, std::size_t);
    int (*close)(int);
    int (*fstat)(int, struct stat*);
    off_t (*lseek)(int, off_t, int);
    int (*ftruncate)(int, off_t);
    int (*fcntl)(int, int, ...);
    int (*stat)(const char*, struct stat*);
    int (*unlink)(const char*);
    int (*chmod)(const char*, mode_t);
    ssize_t (*readlink)(const char*, char*, std::size_t);
    int (*statvfs)(const char*, struct statvfs*);
    DIR* (*opendir)(const char*);
    struct dirent* (*readdir)(DIR*);
    int (*closedir)(DIR*);
    int (*fstatat)(int, const char*, struct stat*, int);
    int (*fsync)(int);
    int (*rename)(const char*, const char*);
    pid_t (*fork)();
    pid_t (*waitpid)(pid_t, int*, int);
    int (*openat)(int, const char*, int, ...);
    int (*mkdirat)(int, const char*, mode_t);
    int (*unlinkat)(int, const char*, int);
    // Copies one host file to the name in the open folder, as
    // copy_file_into promises (the target never opened, never followed).
    Placement (*copy_file)(const char* source, int folder, const char* name);
    // Creates the host folder, its missing parents first; 0 or an errno.
    // The path is the caller's, changed during the call and restored. The
    // folder gets the mode (0: as its parent's tree has it, 0755 or 0777),
    // its new parents theirs, whatever the umask.
    int (*make_folders)(char* host, std::size_t length, mode_t mode);
};

// The table in use; it starts with the system's own functions.
SystemCalls& system_calls();

// The system's own functions, for a stand-in that lets a call through.
const SystemCalls& real_system_calls();

// The Windows error code of a host error.
unsigned long error_code_of(int error);

}  // namespace platform
