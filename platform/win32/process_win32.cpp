// Running a command line on Windows: the C runtime's system(), which runs
// %COMSPEC% /c <line> in this console and waits for it.
#include <windows.h>

#include <cerrno>
#include <cstdlib>

#include "platform/platform.h"

namespace platform {

const unsigned long COMMAND_NOT_FOUND_STATUS = 9009;

namespace {

constexpr DWORD COMMAND_BREAK_GRACE_MS = 500;

// Set by the handler; read once the command has ended.
volatile LONG breaks_seen = 0;

// Ctrl+C and Ctrl+Break reach every process on the console. While the
// command runs they are meant for it: this process stays, and notes them,
// since the exit status cannot tell (cmd passes on what it likes, and
// under Wine a program ended by Ctrl+C reports status 0). A handler
// function, unlike the NULL form, is not inherited by the command.
BOOL WINAPI keep_running_on_break(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    InterlockedIncrement(&breaks_seen);
    return TRUE;
}

}  // namespace

CommandResult run_command(const char* command) {
    // A command stopped at a hidden prompt can leave echo off.
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD input_mode = 0;
    bool console_input = input != nullptr && input != INVALID_HANDLE_VALUE &&
                         GetConsoleMode(input, &input_mode) != 0;

    InterlockedExchange(&breaks_seen, 0);
    SetConsoleCtrlHandler(keep_running_on_break, TRUE);
    errno = 0;
    int status = std::system(command);
    bool started = !(status == -1 && errno != 0);
    // The console hands a Ctrl+C to its processes one after another: the
    // command can be gone before this process's turn comes. Keep the
    // handler a moment longer, so that turn does not end this process.
    Sleep(COMMAND_BREAK_GRACE_MS);
    SetConsoleCtrlHandler(keep_running_on_break, FALSE);

    if (console_input) SetConsoleMode(input, input_mode);
    CommandResult result;
    result.started = started;
    result.exit_status = static_cast<unsigned long>(static_cast<unsigned int>(status));
    result.interrupted = InterlockedCompareExchange(&breaks_seen, 0, 0) != 0;
    return result;
}

}  // namespace platform
