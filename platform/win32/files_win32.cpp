// Files and folders on Windows: the paths go to the system unchanged.
#include <windows.h>
#include <shlobj.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/path_root.h"
#include "platform/platform.h"
#include "platform/line_ends.h"
#include "platform/win32/append_turn.h"
#include "platform/win32/system_calls.h"

namespace platform {

namespace {

// Stores the name's exact spelling in the ANSI code page. False when some
// character has none (the system would put a best-fit look-alike or "?" in
// its place, which names another file or none) or the spelling won't fit.
bool spell_exactly(const wchar_t* wide, int wide_length, char* out, int capacity) {
    // UTF-8 as the ANSI code page takes neither flag nor default character;
    // what it cannot carry (a lone surrogate) fails the round trip below.
    bool utf8 = GetACP() == CP_UTF8;
    BOOL used_default = FALSE;
    int length = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, wide_length,
                                     out, capacity - 1, nullptr, utf8 ? nullptr : &used_default);
    if (length <= 0 || used_default) return false;
    out[length] = '\0';
    wchar_t back[MAX_PATH + 1];
    int back_length =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, out, length, back, MAX_PATH + 1);
    return back_length == wide_length && std::wmemcmp(back, wide, wide_length) == 0;
}

}  // namespace

// Read in UTF-16: a folder name the ANSI code page cannot spell would come
// back as a look-alike naming another folder, whose files would be copied.
bool get_module_path(char* field, std::size_t capacity) {
    wchar_t path[MAX_PATH];
    DWORD length = system_calls().GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length != 0 && length < MAX_PATH && capacity <= 0x7FFFFFFF &&
           spell_exactly(path, static_cast<int>(length), field, static_cast<int>(capacity));
}

bool is_directory(const char* path) {
    struct _stat status;
    return system_calls().stat(path, &status) == 0 && (status.st_mode & _S_IFDIR) != 0;
}

namespace {

bool same_identity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

bool file_identity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE handle =
        system_calls().CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool known = system_calls().GetFileInformationByHandle(handle, info) != 0;
    system_calls().CloseHandle(handle);
    return known;
}

}  // namespace

bool same_file(const char* first, const char* second) {
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    return file_identity(first, &a) && file_identity(second, &b) && same_identity(a, b);
}

WriteOutcome write_text_file(const char* path, const char* text) {
    HANDLE file =
        system_calls().CreateFileA_text(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return WriteOutcome::not_opened;
    char buffer[4096];
    DWORD used = 0;
    bool whole = true;
    auto flush = [&] {
        DWORD written = 0;
        if (used > 0 && (!system_calls().WriteFile_text(file, buffer, used, &written, nullptr) ||
                         written != used))
            whole = false;
        used = 0;
    };
    for (std::size_t left = std::strlen(text); left > 0 && whole; flush()) {
        std::size_t stored = used;
        std::size_t taken = copy_with_crlf(text, left, buffer, sizeof buffer, &stored);
        used = static_cast<DWORD>(stored);
        text += taken;
        left -= taken;
    }
    if (!system_calls().CloseHandle(file)) whole = false;
    return whole ? WriteOutcome::written : WriteOutcome::not_written;
}

namespace {

AppendResult append_with_access(const char* path, const char* bytes, std::size_t length) {
    // Append access alone: every write goes to the end of the file as it is
    // at that moment, so runs that share the file never overwrite each other.
    HANDLE file = system_calls().CreateFileA_append(path, FILE_APPEND_DATA,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {AppendOutcome::not_opened, false};
    AppendResult result = {AppendOutcome::appended, false};
    DWORD written = 0;
    // A handle with append access alone cannot cut the file back, and
    // another run may have appended after a part by now: it stays.
    if (!system_calls().WriteFile_append(file, bytes, static_cast<DWORD>(length), &written,
                                         nullptr) ||
        written != length)
        result = {AppendOutcome::not_written, written > 0};
    if (!system_calls().CloseHandle(file) && result.outcome == AppendOutcome::appended)
        result = {AppendOutcome::not_written, false};
    return result;
}

}  // namespace

AppendResult append_to_file(const char* path, const char* bytes, std::size_t length) {
    enter_append_gate();
    append_turn::Turn turn = append_turn::take(path);
    AppendResult result = append_with_access(path, bytes, length);
    append_turn::give_back(turn);
    result.stopped_taking_turns = turn == append_turn::Turn::given_up;
    leave_append_gate();
    return result;
}

bool ends_within_a_line(const char* path) {
    HANDLE file =
        system_calls().CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char last = '\n';
    DWORD got = 0;
    LARGE_INTEGER back;
    back.QuadPart = -1;
    bool read = system_calls().SetFilePointerEx(file, back, nullptr, FILE_END) &&
                system_calls().ReadFile(file, &last, 1, &got, nullptr) && got == 1;
    system_calls().CloseHandle(file);
    return read && last != '\n';
}

bool remove_file(const char* path) {
    return system_calls().DeleteFileA(path) != 0;
}

unsigned long create_directories(const char* path) {
    // Most folders of a copy have their parent already: one CreateDirectoryA
    // makes them, without the shell's registry reads and change notice. A
    // full path only, as the shell takes no other; a missing parent, or any
    // other failure, goes to the shell, which gives its own answer as before.
    if (root_length(path) != 0) {
        if (system_calls().CreateDirectoryA(path, nullptr)) return 0;
        if (GetLastError() == ERROR_ALREADY_EXISTS) return ERROR_CODE_ALREADY_EXISTS;
    }
    int result = system_calls().SHCreateDirectoryExA(nullptr, path, nullptr);
    if (result == ERROR_SUCCESS) return 0;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || result == ERROR_ALREADY_EXISTS)
        return ERROR_CODE_ALREADY_EXISTS;
    return error != 0 ? error : static_cast<unsigned long>(result);
}

struct DirectoryScan {
    HANDLE handle;
};

namespace {

// Stores a description of a name that has no exact spelling: the characters
// that have one as they are, each other one as <U+XXXX>. Cut at capacity.
void describe_name(const wchar_t* wide, int wide_length, char* out, std::size_t capacity) {
    std::size_t used = 0;
    out[0] = '\0';
    for (int i = 0; i < wide_length && used + 1 < capacity;) {
        int units = 1;
        unsigned long code = wide[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < wide_length && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            units = 2;
            code = 0x10000 + ((code - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
        }
        char spelled[16];
        if (!spell_exactly(wide + i, units, spelled, sizeof spelled))
            std::snprintf(spelled, sizeof spelled, "<U+%04lX>", code);
        int written = std::snprintf(out + used, capacity - used, "%s", spelled);
        if (written < 0 || static_cast<std::size_t>(written) >= capacity - used) {
            out[used] = '\0';  // no half-written character at the end
            return;
        }
        used += static_cast<std::size_t>(written);
        i += units;
    }
}

void store_entry(const WIN32_FIND_DATAW& data, DirectoryEntry* entry) {
    int length = static_cast<int>(std::wcslen(data.cFileName));
    entry->is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry->size =
        entry->is_directory
            ? 0
            : (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entry->has_exact_name =
        spell_exactly(data.cFileName, length, entry->name, static_cast<int>(sizeof entry->name));
    if (!entry->has_exact_name)
        describe_name(data.cFileName, length, entry->name, sizeof entry->name);
}

}  // namespace

// The entries are read in UTF-16, as the system keeps them, so that a name
// is never replaced by a look-alike of another file's name on the way.
DirectoryScan* find_first_entry(const char* pattern, DirectoryEntry* entry, EntrySizes) {
    wchar_t wide_pattern[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, pattern, -1, wide_pattern, MAX_PATH) == 0) return nullptr;
    WIN32_FIND_DATAW data;
    HANDLE handle = system_calls().FindFirstFileW(wide_pattern, &data);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    store_entry(data, entry);
    return new DirectoryScan{handle};
}

bool find_next_entry(DirectoryScan* scan, DirectoryEntry* entry) {
    WIN32_FIND_DATAW data;
    if (!system_calls().FindNextFileW(scan->handle, &data)) return false;
    store_entry(data, entry);
    return true;
}

void find_close(DirectoryScan* scan) {
    system_calls().FindClose(scan->handle);
    delete scan;
}

bool get_file_size(const char* path, unsigned long long* size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!system_calls().GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    *size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

// Asked of the folder itself, so that a mounted folder answers for the
// volume mounted there; the allocation unit and the serial number of the
// volume that holds it come from its mount point.
bool get_free_space(const char* existing_folder, FreeSpace* space) {
    ULARGE_INTEGER available;
    if (!system_calls().GetDiskFreeSpaceExA(existing_folder, &available, nullptr, nullptr))
        return false;
    space->free_bytes = available.QuadPart;
    space->allocation_unit = 1;
    space->volume = 0;
    char mount_point[MAX_PATH];
    if (!system_calls().GetVolumePathNameA(existing_folder, mount_point, MAX_PATH)) return true;
    DWORD sectors = 0;
    DWORD sector_bytes = 0;
    DWORD free_clusters = 0;
    DWORD clusters = 0;
    if (system_calls().GetDiskFreeSpaceA(mount_point, &sectors, &sector_bytes, &free_clusters,
                                         &clusters) &&
        sectors != 0 && sector_bytes != 0)
        space->allocation_unit = static_cast<unsigned long long>(sectors) * sector_bytes;
    DWORD serial = 0;
    if (system_calls().GetVolumeInformationA(mount_point, nullptr, 0, &serial, nullptr, nullptr,
                                             nullptr, 0))
        space->volume = 0x100000000ULL | serial;
    return true;
}

// Upper-case forms of the code page's characters, made once: each single
// byte through UTF-16 and the system's case mapping and back, kept only
// where the round trip is exact (a lead byte of a double-byte code page
// stays as it is).
unsigned char fold_name_character(unsigned char c) {
    static const std::array<unsigned char, 256> upper = [] {
        std::array<unsigned char, 256> table;
        for (int b = 0; b < 256; ++b) {
            table[b] = static_cast<unsigned char>(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
            if (b < 0x80 || IsDBCSLeadByte(static_cast<BYTE>(b))) continue;
            char byte = static_cast<char>(b);
            wchar_t wide;
            wchar_t folded;
            if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &byte, 1, &wide, 1) != 1 ||
                LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, &wide, 1, &folded, 1) != 1)
                continue;
            char back[8];
            if (spell_exactly(&folded, 1, back, sizeof back) && back[1] == '\0')
                table[b] = static_cast<unsigned char>(back[0]);
        }
        return table;
    }();
    return upper[c];
}

bool convert_utf8_to_ansi(const char* utf8, char* ansi, std::size_t capacity) {
    wchar_t wide[1024];
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, 1024);
    if (units <= 0) return false;
    // Without its terminator; an empty text stays empty.
    if (units == 1) {
        if (capacity == 0) return false;
        ansi[0] = '\0';
        return true;
    }
    return capacity <= 0x7FFFFFFF &&
           spell_exactly(wide, units - 1, ansi, static_cast<int>(capacity));
}

struct HomeFolder {
    HANDLE handle;
    char path[MAX_PATH];
};

namespace {

// A folder held open so that nobody can rename, remove or replace it while
// the copy writes into it (no delete sharing); with links, the link itself
// is opened rather than what it points to.
HANDLE open_folder(const char* path, bool link_itself) {
    return system_calls().CreateFileA(
        path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
        nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | (link_itself ? FILE_FLAG_OPEN_REPARSE_POINT : 0), nullptr);
}

bool compose_path(const char* folder, const char* name, char* path) {
    int written = std::snprintf(path, MAX_PATH, "%s\\%s", folder, name);
    return written > 0 && written < MAX_PATH;
}

// A junction or directory link goes with RemoveDirectoryA, a file link
// with DeleteFileA: either removes the link, not its target.
BOOL remove_entry(const char* path, DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? system_calls().RemoveDirectoryA(path)
                                                        : system_calls().DeleteFileA(path);
}

HomeFolder* hold(HANDLE handle, const char* path) {
    HomeFolder* folder = new HomeFolder{handle, {}};
    std::snprintf(folder->path, sizeof folder->path, "%s", path);
    return folder;
}

}  // namespace

unsigned long open_home_folder(const char* path, HomeFolder** folder) {
    if (std::strlen(path) >= MAX_PATH) return ERROR_CODE_FILENAME_TOO_LONG;
    unsigned long code = create_directories(path);
    if (code != 0 && code != ERROR_CODE_ALREADY_EXISTS) return code;
    HANDLE handle = open_folder(path, false);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError();
    *folder = hold(handle, path);
    return 0;
}

void close_home_folder(HomeFolder* folder) {
    system_calls().CloseHandle(folder->handle);
    delete folder;
}

Placement open_folder_in(HomeFolder* parent, const char* name, HomeFolder** folder) {
    Placement placed;
    auto failed = [&placed](unsigned long code) {
        placed.code = code;
        return placed;
    };
    char path[MAX_PATH];
    if (!compose_path(parent->path, name, path)) return failed(ERROR_CODE_FILENAME_TOO_LONG);
    // Made with the list its parent gives it, or there already.
    if (!system_calls().CreateDirectoryA(path, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return failed(GetLastError());
    for (int attempt = 0;; ++attempt) {
        HANDLE handle = open_folder(path, true);
        if (handle == INVALID_HANDLE_VALUE) return failed(GetLastError());
        BY_HANDLE_FILE_INFORMATION info = {};
        DWORD error = system_calls().GetFileInformationByHandle(handle, &info) ? 0 : GetLastError();
        DWORD attributes = info.dwFileAttributes;
        if (error == 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            *folder = hold(handle, path);
            return placed;
        }
        system_calls().CloseHandle(handle);
        if (error != 0) return failed(error);
        // A file of that name; or a link put there again while it was
        // being replaced: refused, never followed.
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 || attempt > 0)
            return failed(ERROR_CODE_FILE_EXISTS);
        placed.link = LinkFound::link;
        if (!remove_entry(path, attributes)) return failed(GetLastError());
        placed.link_removed = true;
        if (!system_calls().CreateDirectoryA(path, nullptr)) return failed(GetLastError());
    }
}

namespace {

// The error of a removal or an opening, 0 when nothing was there.
unsigned long unless_gone(DWORD error) {
    return error != ERROR_FILE_NOT_FOUND ? error : 0;
}

// Looks at what stands at the path before a copy replaces it, and removes
// it, as replacing it would: what CopyFileA refuses to replace (a
// read-only or hidden file, a folder) and the source itself are refused
// and stay. A link or a hard-linked file is always removed: the copy never
// writes through it. Returns 0 or the error.
unsigned long clear_target(const char* source, const char* path, Placement* placed) {
    HANDLE handle = system_calls().CreateFileA(
        path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    // Nothing there: the copy makes it.
    if (handle == INVALID_HANDLE_VALUE) return unless_gone(GetLastError());
    BY_HANDLE_FILE_INFORMATION target = {};
    DWORD error = system_calls().GetFileInformationByHandle(handle, &target) ? 0 : GetLastError();
    DWORD attributes = target.dwFileAttributes;
    system_calls().CloseHandle(handle);
    BY_HANDLE_FILE_INFORMATION from;
    if (error != 0) return error;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        placed->link = LinkFound::link;
    } else if (file_identity(source, &from) && same_identity(from, target)) {
        return ERROR_CODE_SHARING_VIOLATION;  // never a file onto itself
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return ERROR_CODE_ACCESS_DENIED;
    } else if (target.nNumberOfLinks > 1) {
        placed->link = LinkFound::hard_link;
    } else if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)) != 0) {
        return ERROR_CODE_ACCESS_DENIED;
    }
    if (!remove_entry(path, attributes)) return unless_gone(GetLastError());
    placed->link_removed = placed->link != LinkFound::none;
    return 0;
}

// A failed copy that names no error is still a failure.
unsigned long copy_anew(const char* source, const char* path) {
    if (system_calls().CopyFileA(source, path, TRUE)) return 0;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) return ERROR_CODE_FILE_EXISTS;
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

}  // namespace

// The copy never opens an existing target: a new file first, as the usual
// case is; where one is there, it is removed and the copy made anew,
// refused when something was put there again meanwhile.
Placement copy_file_into(const char* source, HomeFolder* folder, const char* name) {
    Placement placed;
    char path[MAX_PATH];
    placed.code = compose_path(folder->path, name, path) ? copy_anew(source, path)
                                                         : ERROR_CODE_FILENAME_TOO_LONG;
    if (placed.code != ERROR_CODE_FILE_EXISTS) return placed;
    placed.code = clear_target(source, path, &placed);
    if (placed.code == 0) placed.code = copy_anew(source, path);
    return placed;
}

}  // namespace platform
