// Standard input and output, and the progress bar's console operations, on
// Windows. Output goes straight to the console (one call per write, rather
// than the runtime's character-by-character console output), or, when
// redirected, to the file or pipe with CR LF line breaks as in text mode.
#include <windows.h>

#include <cstdlib>

#include "platform/platform.h"

namespace platform {
namespace {

// What this program knows of the console without asking it again. Any text
// written (or echoed, or printed by a child) moves the cursor elsewhere.
struct ConsoleState {
    bool attribute_known = false;
    WORD attribute = 7;
    bool cursor_known = false;
    COORD cursor = {0, 0};
};

ConsoleState console;

// Cells waiting to be put on one row, from column 0 on. Cells written in
// quick succession are gathered and put on the console at most every
// PUSH_INTERVAL_MS, and always before anything else is written, moved or
// read: the console ends up exactly as if each had been written.
constexpr DWORD PUSH_INTERVAL_MS = 50;
constexpr std::size_t MAX_CELLS = 128;

struct PendingCells {
    bool active = false;
    short row = 0;
    std::size_t width = 0;
    std::size_t cursor_after = 0;
    CHAR_INFO cells[MAX_CELLS];
    bool pushed_before = false;
    DWORD last_push = 0;
};

PendingCells pending;

void push_pending();

HANDLE output_handle() {
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

bool is_console(HANDLE handle) {
    DWORD mode;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr &&
           GetConsoleMode(handle, &mode) != 0;
}

void write_all(HANDLE handle, const char* text, DWORD length) {
    while (length > 0) {
        DWORD written = 0;
        if (!WriteFile(handle, text, length, &written, nullptr) || written == 0) return;
        text += written;
        length -= written;
    }
}

}  // namespace

int read_input_byte() {
    push_pending();
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    unsigned char c = 0;
    DWORD got = 0;
    console.cursor_known = false;  // the console echoes what is typed
    if (!ReadFile(input, &c, 1, &got, nullptr) || got != 1) return -1;
    // Ctrl+Z typed at the console ends the input, as in the runtime's text mode.
    if (c == 0x1A && is_console(input)) return -1;
    return c;
}

void write_output(const char* text, std::size_t length) {
    push_pending();
    console.cursor_known = false;
    HANDLE output = output_handle();
    if (is_console(output)) {
        while (length > 0) {
            DWORD chunk = length > 16384 ? 16384 : static_cast<DWORD>(length);
            DWORD written = 0;
            if (!WriteConsoleA(output, text, chunk, &written, nullptr) || written == 0) return;
            text += written;
            length -= written;
        }
        return;
    }
    const char* start = text;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] != '\n') continue;
        write_all(output, start, static_cast<DWORD>(text + i - start));
        write_all(output, "\r\n", 2);
        start = text + i + 1;
    }
    write_all(output, start, static_cast<DWORD>(text + length - start));
}

bool get_cursor_row(short* row) {
    push_pending();
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(output_handle(), &info)) return false;
    *row = info.dwCursorPosition.Y;
    return true;
}

namespace {

void move_cursor(short row, short column) {
    if (console.cursor_known && console.cursor.X == column && console.cursor.Y == row) return;
    COORD position;
    position.X = column;
    position.Y = row;
    console.cursor_known = SetConsoleCursorPosition(output_handle(), position) != 0;
    console.cursor = position;
}

}  // namespace

void set_cursor_position(short row, short column) {
    push_pending();
    move_cursor(row, column);
}

namespace {

WORD attribute_in_force() {
    if (!console.attribute_known) {
        CONSOLE_SCREEN_BUFFER_INFO info;
        console.attribute =
            GetConsoleScreenBufferInfo(output_handle(), &info) ? info.wAttributes : 7;
        console.attribute_known = true;
    }
    return console.attribute;
}

}  // namespace

void set_text_attribute(unsigned short attribute) {
    if (console.attribute_known && console.attribute == attribute) return;
    if (SetConsoleTextAttribute(output_handle(), attribute)) {
        console.attribute = attribute;
        console.attribute_known = true;
    }
}

namespace {

// Puts the waiting cells on the console: one call for every cell and its
// colour, where a write per colour run would cost an attribute change and a
// write each.
void push_pending() {
    if (!pending.active) return;
    pending.active = false;
    pending.pushed_before = true;
    pending.last_push = GetTickCount();
    COORD size = {static_cast<SHORT>(pending.width), 1};
    COORD origin = {0, 0};
    SMALL_RECT region = {0, pending.row, static_cast<SHORT>(pending.width - 1), pending.row};
    if (WriteConsoleOutputA(output_handle(), pending.cells, size, origin, &region)) {
        move_cursor(pending.row, static_cast<short>(pending.cursor_after));
        return;
    }
    // Beyond the screen buffer: write at the cursor, a run at a time.
    WORD in_force = attribute_in_force();
    std::size_t start = 0;
    while (start < pending.width) {
        std::size_t end = start + 1;
        while (end < pending.width &&
               pending.cells[end].Attributes == pending.cells[start].Attributes)
            ++end;
        set_text_attribute(pending.cells[start].Attributes);
        char text[MAX_CELLS];
        for (std::size_t i = start; i < end; ++i) text[i - start] = pending.cells[i].Char.AsciiChar;
        console.cursor_known = false;
        HANDLE output = output_handle();
        DWORD written = 0;
        WriteConsoleA(output, text, static_cast<DWORD>(end - start), &written, nullptr);
        start = end;
    }
    set_text_attribute(in_force);
}

}  // namespace

void write_cells(short row, short column, const char* text, const unsigned short* attributes,
                 std::size_t count) {
    if (pending.active && pending.row != row) push_pending();
    if (!pending.active) {
        static bool pushed_at_exit = std::atexit(push_pending) == 0;
        (void)pushed_at_exit;
        pending.active = true;
        pending.row = row;
        pending.width = 0;
    }
    std::size_t start = static_cast<std::size_t>(column);
    if (start > pending.width) start = pending.width;
    WORD in_force = attribute_in_force();
    for (std::size_t i = 0; i < count && start + i < MAX_CELLS; ++i) {
        pending.cells[start + i].Char.AsciiChar = text[i];
        pending.cells[start + i].Attributes =
            attributes[i] == ATTRIBUTE_IN_FORCE ? in_force : attributes[i];
    }
    std::size_t end = start + count < MAX_CELLS ? start + count : MAX_CELLS;
    if (end > pending.width) pending.width = end;
    pending.cursor_after = end;
    if (!pending.pushed_before || GetTickCount() - pending.last_push >= PUSH_INTERVAL_MS)
        push_pending();
}

}  // namespace platform
