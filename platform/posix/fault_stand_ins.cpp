// The fault seam of the POSIX backend: every row of its system-call table
// gets a stand-in that fails the call where a test injected a fault on that
// row, and otherwise lets it through. They are put into the table when a
// test binary starts.
#include <errno.h>
#include <string.h>

#include "platform/posix/system_calls.h"  // first: its calling convention

#include "platform/fault_stand_ins.h"
#include "platform/platform.h"
#include "platform/posix/host_path.h"

namespace platform {
namespace fault_injection {
namespace {

SETUP_POSIX_SYSTEM_CALLS(SETUP_STAND_IN)

// The running executable as a test named it: its host path.
ssize_t module_path(const char* path, char* buffer, std::size_t capacity) {
    const char* chosen = module_path_override();
    if (chosen == nullptr || strcmp(path, "/proc/self/exe") != 0)
        return system_calls().readlink.real(path, buffer, capacity);
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
int free_space(const char* path, struct statvfs* system) {
    char windows[4096];
    unsigned long long bytes = 0;
    const auto real = system_calls().statvfs.real;
    if (host_path::to_windows(path, windows, sizeof windows) &&
        free_space_override(windows, &bytes) && real(path, system) == 0) {
        const unsigned long long unit = system->f_frsize != 0 ? system->f_frsize : 1;
        system->f_bavail = static_cast<fsblkcnt_t>(bytes / unit);
        system->f_fsid = 0xF0000000UL;
        return 0;
    }
    return real(path, system);
}

}  // namespace

// The host error that the backend reads back as the Windows code.
void set_error(unsigned long code) {
    if (code == ERROR_CODE_FILE_NOT_FOUND) code = ERROR_CODE_PATH_NOT_FOUND;
    errno = EIO;
    for (int error : {ENOENT, EACCES, ENOSPC, ETXTBSY})
        if (error_code_of(error) == code) errno = error;
}

bool is_row(const char* row) {
    SETUP_POSIX_SYSTEM_CALLS(SETUP_IS_ROW)
    return false;
}

namespace {

struct StandIns {
    StandIns() {
        SETUP_POSIX_SYSTEM_CALLS(SETUP_PUT_STAND_IN)
        readlink_stand_in::through = module_path;
        statvfs_stand_in::through = free_space;
    }
} stand_ins;

}  // namespace
}  // namespace fault_injection
}  // namespace platform
