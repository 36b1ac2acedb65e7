// Standard input and output, and the progress bar's console operations, on
// Windows. Output goes straight to the console (one call per write, rather
// than the runtime's character-by-character console output), or, when
// redirected, to the file or pipe with CR LF line breaks as in text mode.
//
// A console's buffer may be no taller than its window (Windows Terminal and
// other pseudo-console hosts, Wine in a terminal), and even a tall one
// scrolls once full: a line break written on its last row moves everything
// up, and a row number taken earlier then names another line. So a line is
// named here by its buffer row plus the rows the content has moved up since
// the program started (the lines scrolled). After each write the cursor is
// read back; when it stands on the last row, the rows the text should have
// advanced (its line breaks and wraps) and the rows the cursor did advance
// tell how far the content scrolled. A row handed out to the program is its
// line number, so the bar stays on its own line wherever it has moved to.
//
// The bar's redraws put the cursor back up on the bar's line, and what the
// program writes next would land on the lines below it, over what is
// already there. Text that would begin before the end of what this program
// last wrote (or on the bar's line, before its end) goes below that instead.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/win32/console_code_page.h"

namespace platform {
namespace {

constexpr long WHOLE_ROW = 0x7FFFFFFF;

// A place in the console's content: a line (buffer row plus lines
// scrolled) and a column; WHOLE_ROW stands after everything on the line.
struct Place {
    long long line = 0;
    long column = 0;
};

bool is_before(const Place& a, const Place& b) {
    return a.line < b.line || (a.line == b.line && a.column < b.column);
}

// What this program knows of the console without asking it again.
struct ConsoleState {
    bool attribute_known = false;
    WORD attribute = 7;
    bool cursor_known = false;  // reading input or a child's output loses it
    COORD cursor = {0, 0};
    SHORT width = 80;
    SHORT height = 25;
    long long scrolled = 0;
    bool text_written = false;  // text_end holds something
    Place text_end;             // just after the last text written
};

ConsoleState console;

// The row last handed out: where the bar goes.
struct BarLine {
    bool active = false;
    short handle = 0;
    long long line = 0;
    bool drawn = false;
    Place end;  // just after its cells, once drawn
};

BarLine bar;

// Line breaks written right after a bar draw (a folder's copy ends with
// one) wait here: the next draw puts the cursor back on the bar's line, and
// writing them would only scroll the bar away on a console full to its last
// row. Anything else written, read or asked for first gets them.
std::size_t waiting_breaks = 0;
bool cursor_at_bar = false;

// Cells waiting to be put on one row, from column 0 on. Cells written in
// quick succession are gathered and put on the console at most every
// PUSH_INTERVAL_MS, and always before anything else is written, moved or
// read: the console ends up exactly as if each had been written. Once put
// there, they stay here as what the row shows.
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

// Reads the cursor and the buffer's size. False when output is no console.
bool read_console() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(output_handle(), &info)) {
        console.cursor_known = false;
        return false;
    }
    console.cursor = info.dwCursorPosition;
    console.width = info.dwSize.X > 0 ? info.dwSize.X : 1;
    console.height = info.dwSize.Y > 0 ? info.dwSize.Y : 1;
    console.cursor_known = true;
    return true;
}

long long cursor_line() {
    return console.cursor.Y + console.scrolled;
}

// What the program wrote before the cursor was lost is out of reach.
void forget_written_text() {
    console.text_written = false;
    bar.active = false;
}

// Rows the console moves the cursor on over the text, written from the
// column: line breaks, and wraps when a character fills the last column.
long rows_advanced(const char* text, std::size_t length, long column, long width) {
    long rows = 0;
    auto put_cell = [&] {
        if (++column >= width) {
            ++rows;
            column = 0;
        }
    };
    for (std::size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '\n') {
            ++rows;
            column = 0;
        } else if (c == '\r') {
            column = 0;
        } else if (c == '\b') {
            if (column > 0) --column;
        } else if (c == '\a') {
            // no cell
        } else if (c == '\t') {
            do put_cell();
            while (column % 8 != 0);
        } else {
            put_cell();
        }
    }
    return rows;
}

std::size_t leading_line_breaks(const char* text, std::size_t length) {
    std::size_t count = 0;
    while (count < length && text[count] == '\n') ++count;
    return count;
}

// The bar's text as last put on the console.
bool bar_cells_known() {
    return bar.active && bar.drawn && pending.pushed_before && pending.row == bar.handle &&
           pending.width > 0 && pending.width <= static_cast<std::size_t>(console.width);
}

bool row_shows_bar(const char* row_text) {
    for (std::size_t i = 0; i < pending.width; ++i)
        if (row_text[i] != pending.cells[i].Char.AsciiChar) return false;
    return true;
}

// After a scroll, looks whether the bar is where the count says; if it is
// found a few rows off (a wrap that went otherwise than counted), the count
// follows what the console shows.
void check_bar_after_scroll() {
    if (!bar_cells_known()) return;
    long long expected = bar.line - console.scrolled;
    if (expected < 0 || expected >= console.height) return;
    constexpr long long SEARCH = 4;
    long long first = expected - SEARCH < 0 ? 0 : expected - SEARCH;
    long long last = expected + SEARCH >= console.height ? console.height - 1 : expected + SEARCH;
    static char rows[(2 * SEARCH + 1) * 512];
    DWORD width = static_cast<DWORD>(console.width);
    if (width > 512) return;
    DWORD wanted = static_cast<DWORD>(last - first + 1) * width;
    DWORD got = 0;
    COORD from = {0, static_cast<SHORT>(first)};
    if (!ReadConsoleOutputCharacterA(output_handle(), rows, wanted, from, &got) || got != wanted)
        return;
    if (row_shows_bar(rows + (expected - first) * width)) return;
    for (long long distance = 1; distance <= SEARCH; ++distance) {
        const long long candidates[2] = {expected - distance, expected + distance};
        for (long long row : candidates) {
            if (row < first || row > last) continue;
            if (!row_shows_bar(rows + (row - first) * width)) continue;
            console.scrolled += expected - row;
            return;
        }
    }
}

// Writes to the console and counts the rows its content scrolled. Text
// (not the bar's cells) moves the end of what was written.
void write_console(const char* text, std::size_t length, bool is_text) {
    if (!console.cursor_known && !read_console()) return;
    COORD start = console.cursor;
    HANDLE output = output_handle();
    const char* rest = text;
    std::size_t left = length;
    while (left > 0) {
        DWORD chunk = left > 16384 ? 16384 : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteConsoleA(output, rest, chunk, &written, nullptr) || written == 0) break;
        rest += written;
        left -= written;
    }
    cursor_at_bar = false;
    if (!read_console()) return;
    // Content only scrolls with the cursor on the last row, and after it has
    // the cursor stays there.
    if (console.cursor.Y == console.height - 1) {
        long advanced = rows_advanced(text, length, start.X, console.width);
        long moved = console.cursor.Y - start.Y;
        if (advanced > moved) {
            console.scrolled += advanced - moved;
            check_bar_after_scroll();
        }
    }
    if (!is_text) return;
    std::size_t trailing = 0;
    while (trailing < length && text[length - 1 - trailing] == '\n') ++trailing;
    if (trailing == length) return;  // line breaks alone
    console.text_written = true;
    if (trailing == 0) {
        console.text_end.line = cursor_line();
        console.text_end.column = console.cursor.X;
    } else {
        console.text_end.line = cursor_line() - static_cast<long long>(trailing);
        console.text_end.column = WHOLE_ROW;
    }
}

void move_cursor(long long row, long column) {
    if (column >= console.width) {
        row += column / console.width;
        column %= console.width;
    }
    if (row < 0 || row >= console.height) return;
    if (console.cursor_known && console.cursor.X == column && console.cursor.Y == row) return;
    COORD position;
    position.X = static_cast<SHORT>(column);
    position.Y = static_cast<SHORT>(row);
    console.cursor_known = SetConsoleCursorPosition(output_handle(), position) != 0;
    console.cursor = position;
}

// Where nothing may be written over: the text written so far and the bar's
// line (all of it until the bar is drawn).
bool protected_end(Place* end) {
    bool any = false;
    if (console.text_written) {
        *end = console.text_end;
        any = true;
    }
    if (bar.active) {
        Place bar_end = bar.end;
        if (!bar.drawn) {
            bar_end.line = bar.line;
            bar_end.column = WHOLE_ROW;
        }
        if (!any || is_before(*end, bar_end)) *end = bar_end;
        any = true;
    }
    return any;
}

// The line a handed-out row stands for: the bar's own, or the latest line
// at or above the cursor with that number.
long long line_of_row(short row) {
    if (bar.active && row == bar.handle) return bar.line;
    long long current = cursor_line();
    long long back = (current - row) % 0x8000;
    if (back < 0) back += 0x8000;
    return current - back;
}

// Starts a fresh line below everything written and returns its row.
long long fresh_row_below_output() {
    Place end;
    if (protected_end(&end) && end.line - console.scrolled >= 0) {
        move_cursor(end.line - console.scrolled, 0);
        write_console("\n", 1, false);
    } else if (console.cursor.X != 0) {
        write_console("\n", 1, false);
    }
    return console.cursor.Y;
}

void write_waiting_breaks() {
    char breaks[64];
    std::memset(breaks, '\n', sizeof breaks);
    while (waiting_breaks > 0) {
        std::size_t count = waiting_breaks < sizeof breaks ? waiting_breaks : sizeof breaks;
        waiting_breaks -= count;
        write_console(breaks, count, false);
    }
}

// Everything still waiting reaches the console, in order.
void catch_up() {
    push_pending();
    write_waiting_breaks();
}

void catch_up_at_exit() {
    static bool registered = std::atexit(catch_up) == 0;
    (void)registered;
}

}  // namespace

int read_input_byte() {
    use_ansi_code_page();
    catch_up();
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
    use_ansi_code_page();
    push_pending();
    HANDLE output = output_handle();
    if (is_console(output)) {
        if (leading_line_breaks(text, length) == length && (cursor_at_bar || waiting_breaks > 0)) {
            waiting_breaks += length;
            catch_up_at_exit();
            return;
        }
        write_waiting_breaks();
        if (!console.cursor_known) {
            forget_written_text();
            if (!read_console()) return;
        }
        // Text that would begin over what is already there starts on the
        // line after it, with the line breaks it begins with (one at least).
        std::size_t breaks = leading_line_breaks(text, length);
        Place end;
        if (breaks < length && protected_end(&end)) {
            Place start;
            start.line = cursor_line() + static_cast<long long>(breaks);
            start.column = breaks > 0 ? 0 : console.cursor.X;
            if (is_before(start, end)) {
                move_cursor(end.line - console.scrolled, 0);
                if (breaks == 0) write_console("\n", 1, false);
            }
        }
        write_console(text, length, true);
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
    use_ansi_code_page();
    catch_up();
    bool was_known = console.cursor_known;
    COORD before = console.cursor;
    if (!read_console()) return false;
    if (!was_known || before.X != console.cursor.X || before.Y != console.cursor.Y)
        forget_written_text();
    bar.active = true;
    bar.drawn = false;
    bar.line = cursor_line();
    bar.handle = static_cast<short>(bar.line & 0x7FFF);
    *row = bar.handle;
    return true;
}

void set_cursor_position(short row, short column) {
    push_pending();
    waiting_breaks = 0;  // the move takes the cursor away from where they lead
    if (!console.cursor_known && !read_console()) return;
    long long line = line_of_row(row);
    if (line - console.scrolled < 0 && bar_cells_known() && row == bar.handle) {
        // The bar's line has scrolled away: it is drawn again below.
        pending.active = true;
        push_pending();
        line = line_of_row(row);
    }
    move_cursor(line - console.scrolled, column);
    cursor_at_bar = bar.active && row == bar.handle;
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
// write each. A row narrower than the cells gets them written as text, so
// they wrap onto the rows below as any text does.
void push_pending() {
    if (!pending.active) return;
    pending.active = false;
    pending.pushed_before = true;
    pending.last_push = GetTickCount();
    if (!console.cursor_known && !read_console()) return;
    bool is_bar = bar.active && pending.row == bar.handle;
    long long line = line_of_row(pending.row);
    long long row = line - console.scrolled;
    if (row < 0) {
        // Its line has left the buffer: a new one below the output.
        row = fresh_row_below_output();
        line = row + console.scrolled;
        if (is_bar) bar.line = line;
    }
    if (is_bar) {
        bar.drawn = true;
        waiting_breaks = 0;  // the draw takes the cursor back up
    }
    if (row < console.height && pending.width <= static_cast<std::size_t>(console.width)) {
        COORD size = {static_cast<SHORT>(pending.width), 1};
        COORD origin = {0, 0};
        SMALL_RECT region = {0, static_cast<SHORT>(row), static_cast<SHORT>(pending.width - 1),
                             static_cast<SHORT>(row)};
        if (WriteConsoleOutputA(output_handle(), pending.cells, size, origin, &region)) {
            move_cursor(row, static_cast<long>(pending.cursor_after));
            cursor_at_bar = is_bar;
            if (is_bar) {
                bar.end.line = line;
                bar.end.column = static_cast<long>(pending.width);
            }
            return;
        }
    }
    // As text from the row's start (or at the cursor, beyond the buffer),
    // a run of one colour at a time.
    move_cursor(row, 0);
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
        write_console(text, end - start, false);
        start = end;
    }
    set_text_attribute(in_force);
    if (!console.cursor_known) return;
    if (is_bar) {
        bar.end.line = cursor_line();
        bar.end.column = console.cursor.X;
    }
    // Back to where writing only the cells up to cursor_after would stop.
    long long first_row = line - console.scrolled;
    if (first_row >= 0) move_cursor(first_row, static_cast<long>(pending.cursor_after));
    cursor_at_bar = is_bar;
}

}  // namespace

void write_cells(short row, short column, const char* text, const unsigned short* attributes,
                 std::size_t count) {
    if (pending.active && pending.row != row) push_pending();
    if (!pending.active) {
        catch_up_at_exit();
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
