// The table starts with the system's own functions.
#include "platform/posix/system_calls.h"

#include <fcntl.h>
#include <cstdio>
#include <unistd.h>

namespace platform {

// The backend's own entries (files_posix.cpp).
Placement copy_host_file(const char* source, int folder, const char* name);
int make_host_folders(char* host, std::size_t length, mode_t mode);

namespace {

constexpr SystemCalls real = {
    ::open,     ::write,    ::close,        ::fstat,           ::lseek,   ::ftruncate, ::fcntl,
    ::stat,     ::unlink,   ::chmod,        ::readlink,        ::statvfs, ::opendir,   ::readdir,
    ::closedir, ::fstatat,  ::fsync,        ::rename,          ::fork,    ::waitpid,   ::openat,
    ::mkdirat,  ::unlinkat, copy_host_file, make_host_folders,
};

SystemCalls in_use = real;

}  // namespace

SystemCalls& system_calls() {
    return in_use;
}

const SystemCalls& real_system_calls() {
    return real;
}

}  // namespace platform
