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

}  // namespace

CommandResult run_command(const char* command) {
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
    int status = std::system(command);
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
