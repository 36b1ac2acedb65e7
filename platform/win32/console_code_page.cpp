// The console's code pages are shared by every process attached to it, so
// the ones found at start are put back however this program ends. Another
// handler registered later (one that keeps the program alive while a child
// runs) is asked first; this one restores and lets the next one decide.
#include "platform/win32/console_code_page.h"

#include <windows.h>

#include <cstdlib>

namespace platform {
namespace {

UINT original_input_page = 0;
UINT original_output_page = 0;

BOOL WINAPI restore_on_console_event(DWORD) {
    restore_console_code_pages();
    return FALSE;
}

}  // namespace

void restore_console_code_pages() {
    if (original_input_page != 0) SetConsoleCP(original_input_page);
    if (original_output_page != 0) SetConsoleOutputCP(original_output_page);
}

void use_ansi_code_page() {
    static bool done = false;
    if (done) return;
    done = true;
    UINT ansi = GetACP();
    UINT input = GetConsoleCP();
    UINT output = GetConsoleOutputCP();
    if (input == 0 || output == 0) return;  // no console
    if (input == ansi && output == ansi) return;
    // Remembered before anything is changed or any handler can run.
    original_input_page = input;
    original_output_page = output;
    SetConsoleCtrlHandler(restore_on_console_event, TRUE);
    std::atexit(restore_console_code_pages);
    if (input != ansi) SetConsoleCP(ansi);
    if (output != ansi) SetConsoleOutputCP(ansi);
}

}  // namespace platform
