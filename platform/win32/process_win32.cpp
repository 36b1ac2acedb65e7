// Running a command line on Windows: the C runtime's system(), which runs
// %COMSPEC% /c <line> in this console and waits for it.
#include <windows.h>

#include <cerrno>
#include <cstdlib>

#include "platform/platform.h"

namespace platform {

const unsigned long COMMAND_NOT_FOUND_STATUS = 9009;

namespace {

// Ctrl+C and Ctrl+Break reach every process on the console. While the
// command runs they are meant for it: this process stays. A handler
// function, unlike the NULL form, is not inherited by the command.
BOOL WINAPI keep_running_on_break(DWORD event) {
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? TRUE : FALSE;
}

}  // namespace

bool run_command(const char* command, unsigned long* exit_status) {
    // A command stopped at a hidden prompt can leave echo off.
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD input_mode = 0;
    bool console_input = input != nullptr && input != INVALID_HANDLE_VALUE &&
                         GetConsoleMode(input, &input_mode) != 0;

    SetConsoleCtrlHandler(keep_running_on_break, TRUE);
    errno = 0;
    int status = std::system(command);
    bool started = !(status == -1 && errno != 0);
    SetConsoleCtrlHandler(keep_running_on_break, FALSE);

    if (console_input) SetConsoleMode(input, input_mode);
    *exit_status = static_cast<unsigned long>(static_cast<unsigned int>(status));
    return started;
}

}  // namespace platform
