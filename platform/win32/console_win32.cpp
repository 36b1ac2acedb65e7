// Standard input and output, and the progress bar's console operations, on
// Windows. Output goes straight to the console (one call per write, rather
// than the runtime's character-by-character console output), or, when
// redirected, to the file or pipe with CR LF line breaks as in text mode.
#include <windows.h>

#include "platform/platform.h"

namespace platform {
namespace {

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
    if (!ReadFile(input, &c, 1, &got, nullptr) || got != 1) return -1;
    // Ctrl+Z typed at the console ends the input, as in the runtime's text mode.
    if (c == 0x1A && is_console(input)) return -1;
    return c;
}

void write_output(const char* text, std::size_t length) {
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
    COORD position;
    position.X = column;
    position.Y = row;
    SetConsoleCursorPosition(output_handle(), position);
}

void set_text_attribute(unsigned short attribute) {
    SetConsoleTextAttribute(output_handle(), attribute);
}

}  // namespace platform
