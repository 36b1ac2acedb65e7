// Standard input and output, and the progress bar's console operations, on
// Windows. Output goes straight to the console (one call per write, rather
// than the runtime's character-by-character console output), or, when
// redirected, to the file or pipe with CR LF line breaks as in text mode.
#include <windows.h>

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

HANDLE output_handle() {
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

bool is_console(HANDLE handle) {
    DWORD mode;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode) != 0;
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
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(output_handle(), &info)) return false;
    *row = info.dwCursorPosition.Y;
    return true;
}

void set_cursor_position(short row, short column) {
    if (console.cursor_known && console.cursor.X == column && console.cursor.Y == row) return;
    COORD position;
    position.X = column;
    position.Y = row;
    console.cursor_known = SetConsoleCursorPosition(output_handle(), position) != 0;
    console.cursor = position;
}

namespace {

WORD attribute_in_force() {
    if (!console.attribute_known) {
        CONSOLE_SCREEN_BUFFER_INFO info;
        console.attribute = GetConsoleScreenBufferInfo(output_handle(), &info) ? info.wAttributes : 7;
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

void write_cells(short row, short column, const char* text, const unsigned short* attributes,
                 std::size_t count) {
    // One call puts every cell with its colour in place, where a write per
    // colour run would cost an attribute change and a write each.
    CHAR_INFO cells[128];
    if (count > sizeof cells / sizeof cells[0]) count = sizeof cells / sizeof cells[0];
    WORD in_force = attribute_in_force();
    for (std::size_t i = 0; i < count; ++i) {
        cells[i].Char.AsciiChar = text[i];
        cells[i].Attributes = attributes[i] == ATTRIBUTE_IN_FORCE ? in_force : attributes[i];
    }
    COORD size = {static_cast<SHORT>(count), 1};
    COORD origin = {0, 0};
    SMALL_RECT region = {column, row, static_cast<SHORT>(column + count - 1), row};
    if (WriteConsoleOutputA(output_handle(), cells, size, origin, &region)) {
        set_cursor_position(row, static_cast<short>(column + count));
        return;
    }
    // Beyond the screen buffer: write at the cursor, a run at a time.
    std::size_t start = 0;
    while (start < count) {
        std::size_t end = start + 1;
        while (end < count && cells[end].Attributes == cells[start].Attributes) ++end;
        set_text_attribute(cells[start].Attributes);
        write_output(text + start, end - start);
        start = end;
    }
    set_text_attribute(in_force);
}

}  // namespace platform
