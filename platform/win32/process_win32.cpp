// Running a command line on Windows: the C runtime's system(), which runs
// %COMSPEC% /c <line> in this console and waits for it.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/path_list.h"
#include "platform/path_root.h"
#include "platform/platform.h"
#include "platform/win32/system_calls.h"

namespace platform {

const unsigned long COMMAND_NOT_FOUND_STATUS = 9009;

namespace {

constexpr DWORD COMMAND_BREAK_GRACE_MS = 500;

// Set by the handler; read once the command has ended.
volatile LONG breaks_seen = 0;
// While a command runs, and for the grace after it, a break is the command's.
volatile LONG command_running = 0;
volatile LONG command_ended_at = 0;  // GetTickCount() when it ended
bool handler_installed = false;

// Ctrl+C and Ctrl+Break reach every process on the console. While the
// command runs they are meant for it: this process stays, and notes them,
// since the exit status cannot tell (cmd passes on what it likes, and
// under Wine a program ended by Ctrl+C reports status 0). The console
// hands a Ctrl+C to its processes one after another, so the command can
// be gone before this process's turn comes: for a moment after the
// command's end a break is still taken as the command's. Later ones go on
// to the handlers below this one. A handler function, unlike the NULL
// form, is not inherited by the command.
BOOL WINAPI keep_running_on_break(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    bool running = InterlockedCompareExchange(&command_running, 0, 0) != 0;
    DWORD ended = static_cast<DWORD>(InterlockedCompareExchange(&command_ended_at, 0, 0));
    if (!running && GetTickCount() - ended >= COMMAND_BREAK_GRACE_MS) return FALSE;
    InterlockedIncrement(&breaks_seen);
    return TRUE;
}

bool is_file(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return system_calls().GetFileAttributesExA(path, GetFileExInfoStandard, &data) != 0 &&
           (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Finds the program on PATH as cmd would, trying the name as given (when it
// has an extension) and then with each extension of PATHEXT, in order, but
// never in the current folder, which cmd searches first: a sqlplus.bat left
// in the folder setup was started from must not run in SQL*Plus's place.
// False when no folder of PATH holds it.
bool find_on_path(const char* name, char* found, std::size_t capacity) {
    static char path_list[32768];
    char extensions[1024];
    DWORD length = GetEnvironmentVariableA("PATH", path_list, sizeof path_list);
    if (length == 0 || length >= sizeof path_list) return false;
    length = GetEnvironmentVariableA("PATHEXT", extensions, sizeof extensions);
    if (length == 0 || length >= sizeof extensions) lstrcpyA(extensions, ".COM;.EXE;.BAT;.CMD");
    bool has_extension = std::strchr(name, '.') != nullptr;
    for (const char* folders = path_list; *folders != '\0';) {
        char folder[MAX_PATH];
        folders = next_list_entry(folders, folder, sizeof folder);
        // / taken as \; a relative entry would be looked up from the
        // current folder.
        for (char* c = folder; *c != '\0'; ++c)
            if (*c == '/') *c = '\\';
        std::size_t folder_length = std::strlen(folder);
        if (root_length(folder) == 0) continue;
        const char* separator = folder[folder_length - 1] == '\\' ? "" : "\\";
        if (has_extension) {
            int written = std::snprintf(found, capacity, "%s%s%s", folder, separator, name);
            if (written > 0 && static_cast<std::size_t>(written) < capacity && is_file(found))
                return true;
        }
        for (const char* next = extensions; *next != '\0';) {
            char extension[64];
            next = next_list_entry(next, extension, sizeof extension);
            if (extension[0] == '\0') continue;
            int written =
                std::snprintf(found, capacity, "%s%s%s%s", folder, separator, name, extension);
            if (written > 0 && static_cast<std::size_t>(written) < capacity && is_file(found))
                return true;
        }
    }
    return false;
}

// The command line with its program named by the full path found on PATH.
// The whole line goes in one more pair of quotes, which cmd takes off
// again: it keeps the quotes inside only when a line has exactly two.
// False when the program is on no folder of PATH.
bool name_program_by_full_path(const char* command, char* line, std::size_t capacity) {
    const char* rest = command;
    while (*rest != '\0' && *rest != ' ' && *rest != '\t') ++rest;
    char name[MAX_PATH];
    std::size_t name_length = static_cast<std::size_t>(rest - command);
    if (name_length == 0 || name_length >= sizeof name) return false;
    std::memcpy(name, command, name_length);
    name[name_length] = '\0';
    if (std::strpbrk(name, "\\/:\"") != nullptr) {
        // Already a path: cmd searches nothing for it.
        int written = std::snprintf(line, capacity, "%s", command);
        return written > 0 && static_cast<std::size_t>(written) < capacity;
    }
    char program[MAX_PATH];
    if (!find_on_path(name, program, sizeof program)) return false;
    int written = std::snprintf(line, capacity, "\"\"%s\"%s\"", program, rest);
    return written > 0 && static_cast<std::size_t>(written) < capacity;
}

}  // namespace

CommandResult run_command(const char* command) {
    // Where the interpreter itself looks for a program, the current folder
    // is left out too (Windows Vista's cmd and CreateProcess honour this;
    // Wine's cmd does not, hence the full path below).
    _putenv("NoDefaultCurrentDirectoryInExePath=1");
    static char line[2 * MAX_PATH + 4096];
    if (!name_program_by_full_path(command, line, sizeof line)) {
        // What cmd reports for a program it cannot find.
        return {true, COMMAND_NOT_FOUND_STATUS, false};
    }

    // A command stopped at a hidden prompt can leave echo off.
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD input_mode = 0;
    bool console_input = input != nullptr && input != INVALID_HANDLE_VALUE &&
                         GetConsoleMode(input, &input_mode) != 0;

    InterlockedExchange(&breaks_seen, 0);
    InterlockedExchange(&command_running, 1);
    // Above every other handler, the closing entry's included.
    if (handler_installed) SetConsoleCtrlHandler(keep_running_on_break, FALSE);
    handler_installed = SetConsoleCtrlHandler(keep_running_on_break, TRUE) != 0;
    errno = 0;
    int status = system_calls().system(line);
    bool started = !(status == -1 && errno != 0);
    DWORD ended = GetTickCount();
    InterlockedExchange(&command_ended_at, static_cast<LONG>(ended));
    InterlockedExchange(&command_running, 0);
    // A break may have ended the command before its turn here has come:
    // wait for it before saying whether one came, when the command failed
    // or read the console (under Wine a command ended by Ctrl+C can report
    // success). A command that succeeded on redirected input, as in an
    // unattended install, costs no wait; the handler stays in charge for
    // the grace all the same.
    if ((status != 0 || console_input) && InterlockedCompareExchange(&breaks_seen, 0, 0) == 0) {
        DWORD waited = GetTickCount() - ended;
        if (waited < COMMAND_BREAK_GRACE_MS) Sleep(COMMAND_BREAK_GRACE_MS - waited);
    }

    if (console_input) SetConsoleMode(input, input_mode);
    CommandResult result;
    result.started = started;
    result.exit_status = static_cast<unsigned long>(static_cast<unsigned int>(status));
    result.interrupted = InterlockedCompareExchange(&breaks_seen, 0, 0) != 0;
    return result;
}

}  // namespace platform
