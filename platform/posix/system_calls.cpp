// The table starts with the system's own functions.
#include "platform/posix/system_calls.h"

#include <fcntl.h>
#include <cstdio>
#include <unistd.h>

namespace platform {

// The backend's own rows (files_posix.cpp).
Placement copy_host_file(const char* source, int folder, const char* name);
int make_host_folders(char* host, std::size_t length, mode_t mode);

namespace {

int open_file(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

int open_file_at(int folder, const char* name, int flags, mode_t mode) {
    return ::openat(folder, name, flags, mode);
}

int lock_file(int file, int command, struct flock* lock) {
    return ::fcntl(file, command, lock);
}

}  // namespace

SystemCalls& system_calls() {
    static SystemCalls in_use = [] {
        SystemCalls calls;
        SETUP_POSIX_SYSTEM_CALLS(SETUP_SYSTEM_CALL_REAL)
        return calls;
    }();
    return in_use;
}

}  // namespace platform
