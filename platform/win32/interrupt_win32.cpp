// The closing entry of a run ended by Ctrl+C or Ctrl+Break. Windows calls
// the handler on a thread of its own; returning FALSE lets the next
// handler (the code pages' restore) and then the default one, which ends
// the program, do their part.
#include <windows.h>

#include <cstring>

#include "platform/platform.h"

namespace platform {
namespace {

constexpr std::size_t TEXT_CAPACITY = 512;

char log_file[MAX_PATH];
char entry_bytes[TEXT_CAPACITY];
std::size_t entry_length = 0;
char notice_line[TEXT_CAPACITY + 4];
DWORD notice_length = 0;
volatile LONG armed = 0;
bool registered = false;

BOOL WINAPI write_closing_entry(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    if (InterlockedExchange(&armed, 0) != 0) {
        append_to_file(log_file, entry_bytes, entry_length);
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), notice_line, notice_length, &written, nullptr);
    }
    return FALSE;
}

std::size_t copy_cut(char* out, const char* text, std::size_t length) {
    if (length > TEXT_CAPACITY - 1) length = TEXT_CAPACITY - 1;
    std::memcpy(out, text, length);
    return length;
}

}  // namespace

void set_interrupt_entry(const char* path, const char* entry, std::size_t length,
                         const char* notice) {
    InterlockedExchange(&armed, 0);
    if (entry == nullptr || std::strlen(path) >= sizeof log_file) return;
    std::memcpy(log_file, path, std::strlen(path) + 1);
    entry_length = copy_cut(entry_bytes, entry, length);
    std::size_t used = 0;
    notice_line[used++] = '\r';
    notice_line[used++] = '\n';
    used += copy_cut(notice_line + used, notice, std::strlen(notice));
    notice_line[used++] = '\r';
    notice_line[used++] = '\n';
    notice_length = static_cast<DWORD>(used);
    if (!registered) registered = SetConsoleCtrlHandler(write_closing_entry, TRUE) != 0;
    InterlockedExchange(&armed, 1);
}

}  // namespace platform
