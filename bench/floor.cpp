// The floor of the benchmark: what an install's copy must do at the least,
// and nothing more. For each SOURCE DESTINATION pair it enumerates every
// folder twice (counting, then copying), creates each destination folder,
// copies each file and appends one line per copied file to install.log in
// the working folder, opening, writing and closing it each time. It prints
// nothing; the exit status is the number of failed steps (at most 255).
//
// Windows: the system's calls as the design names them (CopyFileA and the
// others). Natively: the POSIX backend's functions.
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/platform.h"
#endif

namespace {

constexpr std::size_t PATH_SIZE = 1024;

int failures = 0;

void append_line(const char* line) {
#ifdef _WIN32
    HANDLE log = CreateFileA("install.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (log == INVALID_HANDLE_VALUE) {
        ++failures;
        return;
    }
    if (!WriteFile(log, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr)) ++failures;
    CloseHandle(log);
#else
    if (platform::append_to_file("install.log", line, std::strlen(line)).outcome !=
        platform::AppendOutcome::appended)
        ++failures;
#endif
}

bool is_dot(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// One folder entry, whichever system reads it.
struct Entry {
    char name[260];
    bool is_directory;
};

#ifdef _WIN32
struct Scan {
    HANDLE handle;
    WIN32_FIND_DATAA data;
};

bool first(const char* pattern, Scan* scan, Entry* entry) {
    scan->handle = FindFirstFileA(pattern, &scan->data);
    if (scan->handle == INVALID_HANDLE_VALUE) return false;
    std::snprintf(entry->name, sizeof entry->name, "%s", scan->data.cFileName);
    entry->is_directory = (scan->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

bool next(Scan* scan, Entry* entry) {
    if (!FindNextFileA(scan->handle, &scan->data)) return false;
    std::snprintf(entry->name, sizeof entry->name, "%s", scan->data.cFileName);
    entry->is_directory = (scan->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

void close(Scan* scan) {
    FindClose(scan->handle);
}

// A destination folder: its path.
using Folder = const char*;

bool open_folder(const char* path, Folder* folder) {
    *folder = path;
    return CreateDirectoryA(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

void close_folder(Folder) {}

bool copy(const char* source, Folder, const char*, const char* destination) {
    return CopyFileA(source, destination, FALSE) != 0;
}
#else
struct Scan {
    platform::DirectoryScan* scan;
    platform::DirectoryEntry entry;
};

bool take(Scan* scan, Entry* entry) {
    std::snprintf(entry->name, sizeof entry->name, "%s", scan->entry.name);
    entry->is_directory = scan->entry.is_directory;
    return true;
}

bool first(const char* pattern, Scan* scan, Entry* entry) {
    scan->scan =
        platform::find_first_entry(pattern, &scan->entry, platform::EntrySizes::not_needed);
    return scan->scan != nullptr && take(scan, entry);
}

bool next(Scan* scan, Entry* entry) {
    return platform::find_next_entry(scan->scan, &scan->entry) && take(scan, entry);
}

void close(Scan* scan) {
    platform::find_close(scan->scan);
}

// A destination folder, held open as the copy stage holds it.
using Folder = platform::HomeFolder*;

bool open_folder(const char* path, Folder* folder) {
    return platform::open_home_folder(path, folder) == 0;
}

void close_folder(Folder folder) {
    platform::close_home_folder(folder);
}

bool copy(const char* source, Folder folder, const char* name, const char*) {
    return platform::copy_file_into(source, folder, name).code == 0;
}
#endif

void copy_level(const char* source, const char* destination) {
    Folder folder;
    if (!open_folder(destination, &folder)) {
        ++failures;
        return;
    }
    char pattern[PATH_SIZE];
    std::snprintf(pattern, sizeof pattern, "%s\\*", source);
    Scan scan;
    Entry entry;
    if (!first(pattern, &scan, &entry)) {
        ++failures;
        close_folder(folder);
        return;
    }
    while (next(&scan, &entry)) {  // the count the bar needs
    }
    close(&scan);
    if (!first(pattern, &scan, &entry)) {
        ++failures;
        close_folder(folder);
        return;
    }
    do {
        if (is_dot(entry.name)) continue;
        char from[PATH_SIZE];
        char to[PATH_SIZE];
        std::snprintf(from, sizeof from, "%s\\%s", source, entry.name);
        std::snprintf(to, sizeof to, "%s\\%s", destination, entry.name);
        if (entry.is_directory) {
            copy_level(from, to);
        } else if (copy(from, folder, entry.name, to)) {
            char line[2 * PATH_SIZE + 32];
            std::snprintf(line, sizeof line, "Copied file: %s -> %s\r\n", from, to);
            append_line(line);
        } else {
            ++failures;
        }
    } while (next(&scan, &entry));
    close(&scan);
    close_folder(folder);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: floor SOURCE DESTINATION [SOURCE DESTINATION]...\n");
        return 255;
    }
    for (int i = 1; i + 1 < argc; i += 2) copy_level(argv[i], argv[i + 1]);
    return failures > 255 ? 255 : failures;
}
