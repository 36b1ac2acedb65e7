// Files and folders on a POSIX host, with the Windows behaviour the program
// relies on: paths arrive in Windows form and are mapped to host paths.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include "platform/line_ends.h"
#include "platform/platform.h"
#include "platform/posix/host_path.h"
#include "platform/posix/system_calls.h"

namespace platform {

unsigned long error_code_of(int error) {
    switch (error) {
        case ENOENT: return ERROR_CODE_PATH_NOT_FOUND;
        case ENOTDIR: return ERROR_CODE_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return ERROR_CODE_ACCESS_DENIED;
        case ENOSPC:
        case EDQUOT: return ERROR_CODE_DISK_FULL;
        case ENAMETOOLONG: return ERROR_CODE_FILENAME_TOO_LONG;
        case EEXIST: return ERROR_CODE_ALREADY_EXISTS;
        case ETXTBSY: return ERROR_CODE_SHARING_VIOLATION;  // a program that runs
        default: return 1359;                               // ERROR_INTERNAL_ERROR
    }
}

namespace {

constexpr std::size_t HOST_CAPACITY = 4096;

// How long an append waits for another run's lock on the file before this
// run stops taking turns for good.
constexpr int LOCK_TIME_OUT_MS = 5000;
bool lock_given_up = false;

// Takes the file's write lock, waiting for it a few seconds at most. 0 when
// taken; gave_up is set when this call waited the whole time-out.
int lock_for_append(int file, bool* gave_up) {
    if (lock_given_up) return -1;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    for (int waited = 0;; ++waited) {
        if (system_calls().fcntl(file, F_SETLK, &lock) == 0) return 0;
        if (errno != EACCES && errno != EAGAIN && errno != EINTR) return -1;
        if (waited >= LOCK_TIME_OUT_MS) break;
        struct timespec millisecond = {0, 1000000};
        nanosleep(&millisecond, nullptr);
    }
    lock_given_up = true;
    *gave_up = true;
    return -1;
}

// A bare file name (the log's "install.log") names the same file relative to
// the working directory on both sides, without the drive look-up to_host
// makes for it: the log takes this path once per entry.
bool is_bare_name(const char* path) {
    return *path != '\0' && std::strpbrk(path, "\\/:") == nullptr && std::strcmp(path, ".") != 0 &&
           std::strcmp(path, "..") != 0;
}

// Makes one folder whatever the umask, with the mode, or (mode 0) 0755
// (only its owner changes it) or 0777 inside a folder that every user may
// change (DATA_HOME's tree), as a Windows folder takes the list of the one
// it is made in. parent is the length of the folder's parent path, 0 for
// the root. False (errno set) when it could not be made.
bool make_folder(char* host, std::size_t parent, mode_t mode) {
    if (mode == 0) {
        mode = 0755;
        struct stat status;
        if (parent > 0) {
            host[parent] = '\0';
            if (stat(host, &status) == 0 && (status.st_mode & 07777) == 0777) mode = 0777;
            host[parent] = '/';
        }
    }
    if (mkdir(host, mode) != 0) return false;
    if (chmod(host, mode) == 0) return true;
    int error = errno;
    rmdir(host);
    errno = error;
    return false;
}

// Makes the folder of an absolute Windows path and its missing parents
// (mode 0: as make_folder gives it), leaving its host path in host. 0 or
// the error code.
unsigned long make_folder_path(const char* path, mode_t mode, char* host) {
    // Like the shell's directory creation, refuse relative paths: those that
    // neither begin with a backslash nor name a drive.
    if (!(path[0] == '\\' || (path[0] != '\0' && path[1] == ':'))) return ERROR_CODE_BAD_PATHNAME;
    if (!host_path::to_host(path, host, HOST_CAPACITY)) return ERROR_CODE_PATH_NOT_FOUND;
    std::size_t length = std::strlen(host);
    while (length > 1 && host[length - 1] == '/') host[--length] = '\0';
    int error = system_calls().make_folders(host, length, mode);
    return error == 0 ? 0 : error_code_of(error);
}

// Copies the open source into the open target; false with errno on failure.
bool copy_contents(int from, int to, off_t size) {
    off_t remaining = size;
    while (remaining > 0) {
        ssize_t copied =
            copy_file_range(from, nullptr, to, nullptr, static_cast<std::size_t>(remaining), 0);
        if (copied < 0 && errno == EINTR) continue;
        if (copied < 0 && errno != EXDEV && errno != ENOSYS && errno != EINVAL &&
            errno != EOPNOTSUPP)
            return false;
        // No kernel copy between these files, or the source shrank since it
        // was measured: by hand below.
        if (copied <= 0) break;
        remaining -= copied;
    }
    if (remaining == 0 && size > 0) return true;
    // Whatever the kernel copy did not take, by hand.
    char buffer[65536];
    for (;;) {
        ssize_t got = read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return got == 0;
        if (!write_all(::write, to, buffer, static_cast<std::size_t>(got))) return false;
    }
}

// Gives the folder and every folder below it the mode, as a Windows list
// set on a folder reaches what is below it; files keep theirs. The host
// path is extended in place. 0 or the errno of the first failure.
int set_tree_mode(char* host, std::size_t length, std::size_t capacity, mode_t mode) {
    const SystemCalls& calls = system_calls();
    if (calls.chmod(host, mode) != 0) return errno;
    DIR* folder = calls.opendir(host);
    if (folder == nullptr) return errno;
    int error = 0;
    while (dirent* entry = calls.readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        int written = std::snprintf(host + length, capacity - length, "/%s", entry->d_name);
        struct stat status;
        if (written > 0 && static_cast<std::size_t>(written) < capacity - length &&
            lstat(host, &status) == 0 && S_ISDIR(status.st_mode)) {
            int failed =
                set_tree_mode(host, length + static_cast<std::size_t>(written), capacity, mode);
            if (error == 0) error = failed;
        }
        host[length] = '\0';
    }
    calls.closedir(folder);
    return error;
}

// Opens the folder of that name in the open folder, never through a link.
int open_folder_at(int parent, const char* name) {
    return system_calls().openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0);
}

// Makes the folder of that name and opens it; its mode is set on what was
// opened, so a link put there in between is never changed. -1 with errno.
int make_folder_at(int parent, const char* name, mode_t mode) {
    if (system_calls().mkdirat(parent, name, mode) != 0) return -1;
    int folder = open_folder_at(parent, name);
    if (folder >= 0 && system_calls().fchmod(folder, mode) != 0) {
        int error = errno;
        system_calls().close(folder);
        errno = error;
        return -1;
    }
    return folder;
}

// Looks at what stands at the name before a copy replaces it, and removes
// it. Refused (code set, nothing removed): the source itself, a read-only
// file or something that is no file. A link or a hard-linked file is
// always removed: the copy never writes through it.
void clear_target(int folder, const char* name, const struct stat& source, Placement* placed) {
    const SystemCalls& calls = system_calls();
    struct stat target;
    if (calls.fstatat(folder, name, &target, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) placed->code = error_code_of(errno);
        return;  // gone meanwhile: made anew below
    }
    if (S_ISLNK(target.st_mode)) {
        placed->link = LinkFound::link;
    } else if (target.st_dev == source.st_dev && target.st_ino == source.st_ino) {
        // Never copy a file onto itself: the source would be lost.
        placed->code = ERROR_CODE_SHARING_VIOLATION;
        return;
    } else if (!S_ISREG(target.st_mode)) {
        placed->code = ERROR_CODE_ACCESS_DENIED;
        return;
    } else if (target.st_nlink > 1) {
        placed->link = LinkFound::hard_link;
    } else if ((target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        placed->code = ERROR_CODE_ACCESS_DENIED;  // read-only, even for root
        return;
    }
    if (calls.unlinkat(folder, name, 0) != 0) {
        if (errno != ENOENT) placed->code = error_code_of(errno);
        return;
    }
    placed->link_removed = placed->link != LinkFound::none;
}

}  // namespace

bool get_module_path(char* field, std::size_t capacity) {
    char host[HOST_CAPACITY];
    ssize_t length = system_calls().readlink("/proc/self/exe", host, sizeof host - 1);
    if (length <= 0) return false;
    host[length] = '\0';
    return host_path::to_windows(host, field, capacity);
}

bool is_directory(const char* path) {
    char host[HOST_CAPACITY];
    struct stat status;
    return host_path::to_host(path, host, sizeof host) && system_calls().stat(host, &status) == 0 &&
           S_ISDIR(status.st_mode);
}

unsigned char fold_name_character(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
    // Latin-1's small letters, the division sign and y with diaeresis aside.
    if (c >= 0xE0 && c != 0xF7 && c != 0xFF) return static_cast<unsigned char>(c - 0x20);
    return c;
}

bool convert_utf8_to_ansi(const char* utf8, char* ansi, std::size_t capacity) {
    const unsigned char* c = reinterpret_cast<const unsigned char*>(utf8);
    std::size_t length = 0;
    while (c[length] != '\0') {
        unsigned char lead = c[length];
        int follow = lead < 0x80             ? 0
                     : (lead & 0xE0) == 0xC0 ? 1
                     : (lead & 0xF0) == 0xE0 ? 2
                     : (lead & 0xF8) == 0xF0 ? 3
                                             : -1;
        if (follow < 0 || (follow == 1 && lead < 0xC2)) return false;
        for (int i = 1; i <= follow; ++i)
            if ((c[length + i] & 0xC0) != 0x80) return false;
        length += static_cast<std::size_t>(follow) + 1;
    }
    if (length + 1 > capacity) return false;
    std::memcpy(ansi, utf8, length + 1);
    return true;
}

bool same_file(const char* first, const char* second) {
    char host_first[HOST_CAPACITY];
    char host_second[HOST_CAPACITY];
    struct stat a;
    struct stat b;
    return host_path::to_host(first, host_first, sizeof host_first) &&
           host_path::to_host(second, host_second, sizeof host_second) &&
           system_calls().stat(host_first, &a) == 0 && system_calls().stat(host_second, &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

WriteOutcome write_text_file(const char* path, const char* text) {
    char host[HOST_CAPACITY];
    if (!host_path::to_host(path, host, sizeof host)) return WriteOutcome::not_opened;
    int file = system_calls().open_text(host, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file < 0) return WriteOutcome::not_opened;
    // A file written anew (a generated script) is the owner's to change,
    // whatever the umask.
    system_calls().fchmod(file, 0644);
    bool whole = true;
    char buffer[4096];
    std::size_t used = 0;
    for (std::size_t left = std::strlen(text); left > 0 && whole; used = 0) {
        std::size_t taken = copy_with_crlf(text, left, buffer, sizeof buffer, &used);
        text += taken;
        left -= taken;
        whole = write_all(system_calls().write_text, file, buffer, used);
    }
    if (system_calls().close(file) != 0) whole = false;
    return whole ? WriteOutcome::written : WriteOutcome::not_written;
}

AppendResult append_to_file(const char* path, const char* bytes, std::size_t length) {
    char host[HOST_CAPACITY];
    if (is_bare_name(path) && std::strlen(path) < sizeof host)
        std::memcpy(host, path, std::strlen(path) + 1);
    else if (!host_path::to_host(path, host, sizeof host))
        return {AppendOutcome::not_opened, false};
    const SystemCalls& calls = system_calls();
    int file = calls.open_append(host, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (file < 0) return {AppendOutcome::not_opened, false};
    // Every append of this program holds the file's write lock, so while it
    // is held no other run of it can append after a part taken back below.
    // Where the lock cannot be had, the append goes on without it and a part
    // is never taken back.
    bool gave_up = false;
    int locked = lock_for_append(file, &gave_up);
    ssize_t written;
    while ((written = calls.write_append(file, bytes, length)) < 0 && errno == EINTR) {
    }
    AppendResult result = {AppendOutcome::appended, false};
    if (written != static_cast<ssize_t>(length)) {
        // A short write means the disk filled up.
        result = {AppendOutcome::not_written, false};
        if (written > 0) {
            off_t end = calls.lseek(file, 0, SEEK_CUR);
            struct stat status;
            bool last = locked == 0 && end >= written && calls.fstat(file, &status) == 0 &&
                        status.st_size == end;
            result.fragment_left = !(last && calls.ftruncate(file, end - written) == 0);
        }
    }
    if (calls.close(file) != 0 && result.outcome == AppendOutcome::appended)
        result = {AppendOutcome::not_written, false};
    result.stopped_taking_turns = gave_up;
    return result;
}

bool ends_within_a_line(const char* path) {
    char host[HOST_CAPACITY];
    if (!host_path::to_host(path, host, sizeof host)) return false;
    const SystemCalls& calls = system_calls();
    int file = calls.open(host, O_RDONLY | O_CLOEXEC, 0);
    if (file < 0) return false;
    struct stat status;
    char last = '\n';
    bool read = calls.fstat(file, &status) == 0 && status.st_size > 0 &&
                calls.pread(file, &last, 1, status.st_size - 1) == 1;
    calls.close(file);
    return read && last != '\n';
}

bool remove_file(const char* path) {
    char host[HOST_CAPACITY];
    return host_path::to_host(path, host, sizeof host) && system_calls().unlink(host) == 0;
}

// Creates the host folder, and its missing parents first when it has none.
int make_host_folders(char* host, std::size_t length, mode_t mode) {
    std::size_t parent = length;
    while (parent > 1 && host[parent - 1] != '/') --parent;
    parent = parent > 1 ? parent - 1 : 0;
    if (make_folder(host, parent, mode)) return 0;
    if (errno != ENOENT) return errno;
    if (parent == 0) return ENOENT;
    host[parent] = '\0';
    int error = make_host_folders(host, parent, 0);
    host[parent] = '/';
    if (error != 0 && error != EEXIST) return error;
    return make_folder(host, parent, mode) || errno == EEXIST ? 0 : errno;
}

unsigned long create_directories(const char* path) {
    char host[HOST_CAPACITY];
    unsigned long code = make_folder_path(path, 0, host);
    struct stat status;
    if (code == ERROR_CODE_ALREADY_EXISTS && system_calls().stat(host, &status) == 0 &&
        !S_ISDIR(status.st_mode))
        return ERROR_CODE_FILE_EXISTS;
    return code;
}

struct DirectoryScan {
    DIR* directory;
    EntrySizes sizes;
};

DirectoryScan* find_first_entry(const char* pattern, DirectoryEntry* entry, EntrySizes sizes) {
    std::size_t length = std::strlen(pattern);
    if (length < 2 || length - 2 >= HOST_CAPACITY || std::strcmp(pattern + length - 2, "\\*") != 0)
        return nullptr;
    // The folder; a bare drive ("E:") names its root here.
    char folder[HOST_CAPACITY];
    std::size_t kept = length == 4 && pattern[1] == ':' ? 3 : length - 2;
    std::memcpy(folder, pattern, kept);
    folder[kept] = '\0';
    char host[HOST_CAPACITY];
    DIR* directory;
    if (!host_path::to_host(folder, host, sizeof host) ||
        (directory = system_calls().opendir(host)) == nullptr)
        return nullptr;
    DirectoryScan* scan = new DirectoryScan{directory, sizes};
    if (find_next_entry(scan, entry)) return scan;
    find_close(scan);
    return nullptr;
}

bool find_next_entry(DirectoryScan* scan, DirectoryEntry* entry) {
    for (;;) {
        errno = 0;
        struct dirent* next = system_calls().readdir(scan->directory);
        if (next == nullptr) return false;
        std::size_t length = std::strlen(next->d_name);
        if (length >= sizeof entry->name) continue;  // cannot be named in a Windows path
        std::memcpy(entry->name, next->d_name, length + 1);
        entry->has_exact_name = true;  // names are the bytes themselves
        entry->size = 0;
        if (next->d_type == DT_DIR ||
            (next->d_type == DT_REG && scan->sizes == EntrySizes::not_needed)) {
            entry->is_directory = next->d_type == DT_DIR;
            return true;
        }
        // A file's size, through links as the copy reads them.
        struct stat status;
        bool known = system_calls().fstatat(dirfd(scan->directory), next->d_name, &status, 0) == 0;
        entry->is_directory = known && S_ISDIR(status.st_mode);
        if (known && S_ISREG(status.st_mode))
            entry->size = static_cast<unsigned long long>(status.st_size);
        return true;
    }
}

void find_close(DirectoryScan* scan) {
    system_calls().closedir(scan->directory);
    delete scan;
}

bool get_file_size(const char* path, unsigned long long* size) {
    char host[HOST_CAPACITY];
    struct stat status;
    if (!host_path::to_host(path, host, sizeof host) || system_calls().stat(host, &status) != 0 ||
        !S_ISREG(status.st_mode))
        return false;
    *size = static_cast<unsigned long long>(status.st_size);
    return true;
}

bool get_free_space(const char* existing_folder, FreeSpace* space) {
    char host[HOST_CAPACITY];
    struct statvfs system;
    if (!host_path::to_host(existing_folder, host, sizeof host) ||
        system_calls().statvfs(host, &system) != 0)
        return false;
    space->free_bytes = static_cast<unsigned long long>(system.f_bavail) *
                        static_cast<unsigned long long>(system.f_frsize);
    space->allocation_unit = system.f_frsize != 0 ? system.f_frsize : 1;
    space->volume = static_cast<unsigned long long>(system.f_fsid);
    return true;
}

unsigned long protect_folder(const char* path, bool writable_for_users) {
    char host[HOST_CAPACITY];
    if (!host_path::to_host(path, host, sizeof host)) return ERROR_CODE_PATH_NOT_FOUND;
    int error =
        set_tree_mode(host, std::strlen(host), sizeof host, writable_for_users ? 0777 : 0755);
    return error == 0 ? 0 : error_code_of(error);
}

unsigned long create_protected_folder(const char* path, bool writable_for_users) {
    char host[HOST_CAPACITY];
    return make_folder_path(path, writable_for_users ? 0777 : 0755, host);
}

struct HomeFolder {
    int descriptor;
};

unsigned long open_home_folder(const char* path, HomeFolder** folder) {
    unsigned long code = create_directories(path);
    if (code != 0 && code != ERROR_CODE_ALREADY_EXISTS) return code;
    char host[HOST_CAPACITY];
    if (!host_path::to_host(path, host, sizeof host)) return ERROR_CODE_PATH_NOT_FOUND;
    int descriptor = system_calls().open(host, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (descriptor < 0) return error_code_of(errno);
    *folder = new HomeFolder{descriptor};
    return 0;
}

void close_home_folder(HomeFolder* folder) {
    system_calls().close(folder->descriptor);
    delete folder;
}

Placement open_folder_in(HomeFolder* parent, const char* name, HomeFolder** folder) {
    const SystemCalls& calls = system_calls();
    // A new folder is 0777 inside a folder every user may change (DATA_HOME's
    // tree), else 0755, as a Windows folder takes the list of its parent.
    struct stat status;
    mode_t mode = calls.fstat(parent->descriptor, &status) == 0 && (status.st_mode & 07777) == 0777
                      ? 0777
                      : 0755;
    Placement placed;
    auto refused = [&placed](unsigned long code) {
        placed.code = code;
        return placed;
    };
    int made = make_folder_at(parent->descriptor, name, mode);
    if (made < 0 && errno == EEXIST) {
        made = open_folder_at(parent->descriptor, name);
        if (made < 0 && (errno == ELOOP || errno == ENOTDIR) &&
            calls.fstatat(parent->descriptor, name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
            // A file of that name.
            if (!S_ISLNK(status.st_mode)) return refused(ERROR_CODE_FILE_EXISTS);
            placed.link = LinkFound::link;
            if (calls.unlinkat(parent->descriptor, name, 0) != 0)
                return refused(error_code_of(errno));
            placed.link_removed = true;
            made = make_folder_at(parent->descriptor, name, mode);
            // Put there again meanwhile: refused, never followed.
            if (made < 0 && errno == EEXIST) return refused(ERROR_CODE_FILE_EXISTS);
        }
    }
    if (made < 0) return refused(error_code_of(errno));
    *folder = new HomeFolder{made};
    return placed;
}

Placement copy_file_into(const char* source, HomeFolder* folder, const char* name) {
    char from_path[HOST_CAPACITY];
    if (!host_path::to_host(source, from_path, sizeof from_path))
        return Placement{ERROR_CODE_PATH_NOT_FOUND};
    return system_calls().copy_file(from_path, folder->descriptor, name);
}

Placement copy_host_file(const char* from_path, int folder, const char* name) {
    const SystemCalls& calls = system_calls();
    int from = open(from_path, O_RDONLY | O_CLOEXEC);
    if (from < 0)
        return Placement{errno == ENOENT ? ERROR_CODE_FILE_NOT_FOUND : error_code_of(errno)};
    Placement placed;
    auto finish = [&placed, from](unsigned long code) {
        close(from);
        placed.code = code;
        return placed;
    };
    struct stat source_status;
    if (fstat(from, &source_status) != 0 || S_ISDIR(source_status.st_mode))
        return finish(ERROR_CODE_ACCESS_DENIED);
    // A new file first: the usual case needs no look at the target. An
    // existing one is never opened: it is looked at, removed, and the copy
    // made anew; one put there again in between is refused.
    constexpr int CREATE = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int to = calls.openat(folder, name, CREATE, 0666);
    if (to < 0 && errno == EEXIST) {
        clear_target(folder, name, source_status, &placed);
        if (placed.code != 0) return finish(placed.code);
        to = calls.openat(folder, name, CREATE, 0666);
    }
    if (to < 0) return finish(errno == EEXIST ? ERROR_CODE_FILE_EXISTS : error_code_of(errno));
    // The copy takes over the source's mode bits, executable and read-only
    // included (whatever the umask; never set-user-ID and the like).
    bool copied = copy_contents(from, to, source_status.st_size) &&
                  fchmod(to, source_status.st_mode & 0777) == 0;
    int error = errno;
    if (calls.close(to) != 0 && copied) {
        copied = false;
        error = errno;
    }
    if (copied) return finish(0);
    calls.unlinkat(folder, name, 0);  // never leave a partial copy that looks whole
    return finish(error_code_of(error));
}

}  // namespace platform
