// Standard input and output, and the progress bar's console operations, on
// Windows. Output goes straight to the console (one call per write, rather
// than the runtime's character-by-character console output), or, when
// redirected, to the file or pipe with CR LF line breaks as in text mode.
//
// Where the bar and later text go is the console model's; this is the
// console's raw side. The console tells its cursor and its buffer's size,
// so the model reads them back after each write to stay in step (a buffer
// no taller than its window, as in Windows Terminal or Wine in a terminal,
// scrolls at every line break on its last row), and it puts a row of cells
// with their colours in one call.
#include <windows.h>

#include "platform/console_model.h"
#include "platform/line_ends.h"
#include "platform/platform.h"
#include "platform/win32/console_code_page.h"

namespace platform {
namespace {

constexpr std::size_t MAX_ROW_CELLS = 128;

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

class Win32Console final : public ConsoleDevice {
  public:
    bool read(ConsoleReading* reading) override {
        use_ansi_code_page();  // before the first bar: its cells are ANSI text
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (!GetConsoleScreenBufferInfo(output_handle(), &info)) return false;
        reading->width = info.dwSize.X;
        reading->height = info.dwSize.Y;
        reading->cursor_known = true;
        reading->cursor_row = info.dwCursorPosition.Y;
        reading->cursor_column = info.dwCursorPosition.X;
        reading->attribute = info.wAttributes;
        reading->wrap_delayed = false;
        reading->utf8 = GetConsoleOutputCP() == CP_UTF8;
        return true;
    }

    void write(const char* text, std::size_t length) override {
        HANDLE output = output_handle();
        while (length > 0) {
            DWORD chunk = length > 16384 ? 16384 : static_cast<DWORD>(length);
            DWORD written = 0;
            if (!WriteConsoleA(output, text, chunk, &written, nullptr) || written == 0) return;
            text += written;
            length -= written;
        }
    }

    bool move(long, long row, long column) override {
        if (row < 0 || row > 0x7FFF || column < 0 || column > 0x7FFF) return false;
        COORD position = {static_cast<SHORT>(column), static_cast<SHORT>(row)};
        return SetConsoleCursorPosition(output_handle(), position) != 0;
    }

    bool write_row(long row, const char* text, const unsigned short* attributes,
                   std::size_t count) override {
        if (count == 0 || count > MAX_ROW_CELLS || row > 0x7FFF) return false;
        CHAR_INFO cells[MAX_ROW_CELLS];
        for (std::size_t i = 0; i < count; ++i) {
            cells[i].Char.AsciiChar = text[i];
            cells[i].Attributes = attributes[i];
        }
        COORD size = {static_cast<SHORT>(count), 1};
        COORD origin = {0, 0};
        SMALL_RECT region = {0, static_cast<SHORT>(row), static_cast<SHORT>(count - 1),
                             static_cast<SHORT>(row)};
        return WriteConsoleOutputA(output_handle(), cells, size, origin, &region) != 0;
    }

    void set_attribute(unsigned short attribute) override {
        SetConsoleTextAttribute(output_handle(), attribute);
    }

    long long now_ms() override {
        return static_cast<long long>(GetTickCount64());
    }

    long long push_interval_ms() override {
        return CONSOLE_PUSH_INTERVAL_MS;
    }
};

Win32Console device;
ConsoleModel console(device);

}  // namespace

ConsoleModel& the_console() {
    return console;
}

int read_input_byte() {
    use_ansi_code_page();
    console.catch_up();
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    unsigned char c = 0;
    DWORD got = 0;
    BOOL read = ReadFile(input, &c, 1, &got, nullptr);
    console.input_read(true);  // the console echoes what is typed
    if (!read || got != 1) return -1;
    // Ctrl+Z typed at the console ends the input, as in the runtime's text mode.
    if (c == 0x1A && is_console(input)) return -1;
    return c;
}

void write_output(const char* text, std::size_t length) {
    use_ansi_code_page();
    HANDLE output = output_handle();
    // Whether output is a console is asked once: its handle stays the same
    // for the whole run, and each question is a call to the system.
    static const bool to_console = is_console(output);
    if (to_console && console.write_text(text, length)) return;
    // Redirected: CR LF line breaks, in as few writes as the buffer allows.
    char buffer[4096];
    while (length > 0) {
        std::size_t used = 0;
        std::size_t taken = copy_with_crlf(text, length, buffer, sizeof buffer, &used);
        write_all(output, buffer, static_cast<DWORD>(used));
        text += taken;
        length -= taken;
    }
}

}  // namespace platform
