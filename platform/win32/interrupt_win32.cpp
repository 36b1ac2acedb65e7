// The closing entry of a run ended by Ctrl+C or Ctrl+Break. Windows calls
// the handler on a thread of its own while the program goes on; the
// handler ends the program itself, the way Windows' default handler does
// (exit status STATUS_CONTROL_C_EXIT), since Wine's ends a program stopped
// by Ctrl+C with status 0, which a calling script would read as success.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/interrupt_text.h"
#include "platform/platform.h"
#include "platform/win32/append_turn.h"
#include "platform/win32/console_code_page.h"

namespace platform {
namespace {

constexpr UINT EXIT_ON_BREAK = 0xC000013A;  // STATUS_CONTROL_C_EXIT

char log_file[MAX_PATH];
char entry_bytes[INTERRUPT_TEXT_CAPACITY];
std::size_t entry_length = 0;
char notice_line[INTERRUPT_TEXT_CAPACITY + 4];
DWORD notice_length = 0;
volatile LONG armed = 0;
bool registered = false;

struct Gate {
    CRITICAL_SECTION section;
    Gate() {
        InitializeCriticalSection(&section);
    }
};

Gate& gate() {
    static Gate the_gate;
    return the_gate;
}

BOOL WINAPI end_on_break(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    // Kept until the end: the main thread appends nothing more.
    enter_append_gate();
    if (InterlockedExchange(&armed, 0) != 0) {
        append_to_file(log_file, entry_bytes, entry_length);
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), notice_line, notice_length, &written, nullptr);
    }
    restore_console_code_pages();
    ExitProcess(EXIT_ON_BREAK);
}

}  // namespace

void enter_append_gate() {
    EnterCriticalSection(&gate().section);
}

void leave_append_gate() {
    LeaveCriticalSection(&gate().section);
}

void set_interrupt_entry(const char* path, const char* entry, std::size_t length,
                         const char* notice) {
    InterlockedExchange(&armed, 0);
    // From the first call on, a break ends the program with the failing
    // status, whether an entry is to be written or not.
    if (!registered) registered = SetConsoleCtrlHandler(end_on_break, TRUE) != 0;
    if (entry == nullptr || std::strlen(path) >= sizeof log_file) return;
    std::memcpy(log_file, path, std::strlen(path) + 1);
    entry_length = copy_cut(entry_bytes, entry, length);
    notice_length =
        static_cast<DWORD>(std::snprintf(notice_line, sizeof notice_line, "\r\n%.*s\r\n",
                                         static_cast<int>(INTERRUPT_TEXT_CAPACITY - 1), notice));
    InterlockedExchange(&armed, 1);
}

}  // namespace platform
