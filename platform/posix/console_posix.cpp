// Standard input and output, and the progress bar's console operations, on
// a POSIX terminal.
//
// A terminal has no screen buffer to ask for the cursor's row without
// reading the answer from the input (which would take the operator's
// typed-ahead bytes), so rows here are counted: every line break and every
// wrap of a full line that this program writes moves the row on by one, and
// a cursor move is made relative to where the cursor is. Rows scrolled off
// the screen keep their numbers, so the bar stays on its own line. A move up
// stops at the top of the screen, so a line is only reached while it is
// still on the screen: fewer rows above the lowest row the cursor has been
// on than the terminal is tall, wherever the program started on the screen.
// The bar's line, once it has left the screen, is drawn again below.
//
// The bar's redraws put the cursor back up on the bar's line, and what the
// program writes next would land on the lines below it, over what is
// already there. Text that would begin before the end of what this program
// last wrote (or on the bar's line, before its end) goes below that instead.
//
// Cells written in quick succession are gathered and put on the terminal at
// most every PUSH_INTERVAL_MS (SETUP_CONSOLE_PUSH_MS overrides it), and
// always before anything else is written, moved or read, and at exit: the
// screen ends up exactly as if each had been written.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/platform.h"

namespace platform {
namespace {

constexpr long PUSH_INTERVAL_MS = 50;
constexpr std::size_t MAX_CELLS = 128;
constexpr long ROW_NUMBERS = 16384;  // rows handed out are counted rows modulo this
constexpr long WHOLE_ROW = 0x7FFFFFFF;

// A place in what the program wrote: a counted row and a column;
// WHOLE_ROW stands after everything on the row.
struct Place {
    long row = 0;
    long column = 0;
};

bool is_before(const Place& a, const Place& b) {
    return a.row < b.row || (a.row == b.row && a.column < b.column);
}

struct TerminalState {
    bool is_terminal = false;
    int width = 80;
    int height = 24;
    long row = 0;  // counted rows since the program started
    long column = 0;
    long lowest = 0;               // the lowest row the cursor has been on
    unsigned short attribute = 7;  // in force; 7 is the terminal's own colour
    bool text_written = false;     // text_end holds something
    Place text_end;                // just after the last text written
};

// The bar's line: the row last handed out, or the row the bar is drawn on.
struct BarLine {
    bool active = false;
    short handle = 0;  // the row number the program names it by
    long row = 0;      // the counted row it stands on
    bool drawn = false;
    Place end;  // just after its cells, once drawn
};

// Cells waiting to be put on one row, from column 0 on. Once put there,
// they stay here as what the row shows.
struct PendingCells {
    bool active = false;
    short row = 0;
    std::size_t width = 0;         // how many cells hold something to put
    std::size_t cursor_after = 0;  // where the last write left the cursor
    char text[MAX_CELLS];
    unsigned short attributes[MAX_CELLS];
    long last_push_ms = -PUSH_INTERVAL_MS;
};

TerminalState terminal;
BarLine bar;
PendingCells pending;

// Line breaks written right after a bar draw (a folder's copy ends with
// one) wait here: the next draw puts the cursor back on the bar's line, and
// writing them would only scroll the bar up on a screen full to its last
// row. Anything else written, read or asked for first gets them.
std::size_t waiting_breaks = 0;
bool cursor_at_bar = false;

// On Windows a closed pipe on standard output (setup < answers | head -2)
// only makes the writes fail; here it would end the program with SIGPIPE
// halfway through the install. So the signal is ignored from the start:
// writes fail with EPIPE and are dropped. The programs it starts inherit
// that, as they would meet the same pipe on Windows.
const bool broken_pipe_ignored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;

// SETUP_CONSOLE_PUSH_MS changes the interval (0 puts every write on the
// terminal at once), so tests can watch each draw.
long push_interval_ms() {
    static long interval = [] {
        const char* value = std::getenv("SETUP_CONSOLE_PUSH_MS");
        return value != nullptr && value[0] != '\0' ? std::atol(value) : PUSH_INTERVAL_MS;
    }();
    return interval;
}

long now_ms() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

// Asked at every use, so a program whose output moves to a terminal (or
// away from one) follows; one system call tells that and the size.
void check_terminal() {
    struct winsize size;
    terminal.is_terminal = ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0;
    if (!terminal.is_terminal) return;
    if (size.ws_col > 0) terminal.width = size.ws_col;
    if (size.ws_row > 0) terminal.height = size.ws_row;
}

void write_raw(const char* text, std::size_t length) {
    while (length > 0) {
        ssize_t written = write(STDOUT_FILENO, text, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

void note_row_reached() {
    if (terminal.row > terminal.lowest) terminal.lowest = terminal.row;
}

// Follows the cursor over text as a terminal with automatic wrap moves it.
void track_cursor(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++terminal.row;
            terminal.column = 0;
        } else if (c == '\r') {
            terminal.column = 0;
        } else if (c == '\b') {
            if (terminal.column > 0) --terminal.column;
        } else if (c == '\t') {
            terminal.column = (terminal.column + 8) & ~7L;
            if (terminal.column > terminal.width) terminal.column = terminal.width;
        } else if (c >= 0x20) {
            if (terminal.column >= terminal.width) {
                ++terminal.row;
                terminal.column = 0;
            }
            ++terminal.column;
        }
    }
    note_row_reached();
}

// Whether a move can reach the row: it is still on the screen, or below.
bool is_reachable(long row) {
    return terminal.lowest - row < terminal.height;
}

// The counted row a handed-out row number stands for: the bar's own, or
// the nearest row with that number.
long row_of(short row) {
    if (bar.active && row == bar.handle) return bar.row;
    long delta = (row - terminal.row % ROW_NUMBERS) % ROW_NUMBERS;
    if (delta < -ROW_NUMBERS / 2) delta += ROW_NUMBERS;
    if (delta >= ROW_NUMBERS / 2) delta -= ROW_NUMBERS;
    return terminal.row + delta;
}

// Appends the bytes that move the cursor from where the counted position
// says it is to (row, column), and updates the count.
void append_move(std::string& out, long row, long column) {
    if (terminal.row == row && terminal.column == column) return;  // already there
    long delta = row - terminal.row;
    char move[32];
    if (delta < 0) {
        std::snprintf(move, sizeof move, "\x1b[%ldA\r", -delta);
        out += move;
    } else {
        // Line feeds rather than cursor-down: at the bottom of the screen
        // they scroll, so the row comes into existence below the text.
        out.append(static_cast<std::size_t>(delta), '\n');
        out += '\r';
    }
    if (column > 0) {
        std::snprintf(move, sizeof move, "\x1b[%ldC", column);
        out += move;
    }
    terminal.row = row;
    terminal.column = column;
    note_row_reached();
}

void append_attribute(std::string& out, unsigned short attribute) {
    if (attribute == terminal.attribute) return;
    if (attribute == 2) {
        out += "\x1b[32m";
    } else if (attribute == 4) {
        out += "\x1b[31m";
    } else {
        out += "\x1b[0m";  // 7 and anything unmapped: the terminal's own colour
    }
    terminal.attribute = attribute;
}

std::size_t leading_line_breaks(const char* text, std::size_t length) {
    std::size_t count = 0;
    while (count < length && text[count] == '\n') ++count;
    return count;
}

// Where nothing may be written over: the text written so far and the bar's
// line (all of it until the bar is drawn).
bool protected_end(Place* end) {
    bool any = false;
    if (terminal.text_written) {
        *end = terminal.text_end;
        any = true;
    }
    if (bar.active) {
        Place bar_end = bar.end;
        if (!bar.drawn) {
            bar_end.row = bar.row;
            bar_end.column = WHOLE_ROW;
        }
        if (!any || is_before(*end, bar_end)) *end = bar_end;
        any = true;
    }
    return any;
}

// The first row below everything written.
long fresh_row_below_output() {
    Place end;
    long row = terminal.column > 0 ? terminal.row + 1 : terminal.row;
    if (protected_end(&end)) row = end.row + 1;
    if (!is_reachable(row)) row = terminal.lowest + 1;
    return row;
}

// Where writing count cells from column 0 of the row leaves the cursor: a
// full row of a narrow terminal goes on in the next one.
Place after_cells(long row, std::size_t count) {
    Place place;
    long rows_on = count > 0 ? static_cast<long>(count - 1) / terminal.width : 0;
    place.row = row + rows_on;
    place.column = static_cast<long>(count) - rows_on * terminal.width;
    return place;
}

// Puts the waiting cells on the terminal in one write.
void push_pending() {
    if (!pending.active) return;
    pending.active = false;
    pending.last_push_ms = now_ms();
    if (!bar.active || bar.handle != pending.row) {
        bar.active = true;
        bar.drawn = false;
        bar.row = row_of(pending.row);
        bar.handle = pending.row;
    }
    // Its line has left the screen, or the cells would wrap (on a narrow
    // terminal) onto rows that text written below the bar holds: a new line
    // below the output.
    long last_row_held = bar.drawn ? bar.end.row : bar.row;
    bool covers_text = after_cells(bar.row, pending.width).row > last_row_held &&
                       terminal.text_written && terminal.text_end.row > last_row_held;
    if (!is_reachable(bar.row) || covers_text) bar.row = fresh_row_below_output();
    std::string out;
    unsigned short in_force = terminal.attribute;
    append_move(out, bar.row, 0);
    for (std::size_t i = 0; i < pending.width; ++i) {
        append_attribute(out, pending.attributes[i]);
        out += pending.text[i];
    }
    append_attribute(out, in_force);
    track_cursor(pending.text, pending.width);
    bar.drawn = true;
    bar.end.row = terminal.row;
    bar.end.column = terminal.column;
    Place after = after_cells(bar.row, pending.cursor_after);
    append_move(out, after.row, after.column);
    write_raw(out.data(), out.size());
    waiting_breaks = 0;  // the draw takes the cursor back up
    cursor_at_bar = true;
}

void write_waiting_breaks() {
    if (waiting_breaks == 0) return;
    std::string breaks(waiting_breaks, '\n');
    waiting_breaks = 0;
    track_cursor(breaks.data(), breaks.size());
    write_raw(breaks.data(), breaks.size());
    cursor_at_bar = false;
}

// Everything still waiting reaches the terminal, in order.
void catch_up() {
    push_pending();
    write_waiting_breaks();
}

void catch_up_at_exit() {
    static bool registered = std::atexit(catch_up) == 0;
    (void)registered;
}

// Notes where the text just written ends, unless it is line breaks alone.
void note_text_end(const char* text, std::size_t length) {
    std::size_t trailing = 0;
    while (trailing < length && text[length - 1 - trailing] == '\n') ++trailing;
    if (trailing == length) return;
    terminal.text_written = true;
    if (trailing == 0) {
        terminal.text_end.row = terminal.row;
        terminal.text_end.column = terminal.column;
    } else {
        terminal.text_end.row = terminal.row - static_cast<long>(trailing);
        terminal.text_end.column = WHOLE_ROW;
    }
}

}  // namespace

int read_input_byte() {
    catch_up();
    for (;;) {
        unsigned char c;
        ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (terminal.is_terminal && isatty(STDIN_FILENO)) {
            // The terminal echoed what was typed, line break included: the
            // cursor now stands on a new lowest row, below all that was
            // written, and the rows above it are no longer where counted.
            terminal.lowest = terminal.row;
            terminal.text_written = false;
            bar.active = false;
        }
        return got == 1 ? c : -1;
    }
}

void write_output(const char* text, std::size_t length) {
    check_terminal();
    if (!terminal.is_terminal) {
        write_raw(text, length);
        return;
    }
    push_pending();
    std::size_t breaks = leading_line_breaks(text, length);
    if (length > 0 && breaks == length && (cursor_at_bar || waiting_breaks > 0)) {
        waiting_breaks += length;
        catch_up_at_exit();
        return;
    }
    write_waiting_breaks();
    cursor_at_bar = false;
    // Text that would begin over what is already there starts on the row
    // after it, with the line breaks it begins with (one at least).
    std::string move;
    Place end;
    if (breaks < length && protected_end(&end)) {
        Place start;
        start.row = terminal.row + static_cast<long>(breaks);
        start.column = breaks > 0 ? 0 : terminal.column;
        if (is_before(start, end)) {
            long below = is_reachable(end.row) ? end.row : terminal.lowest;
            append_move(move, below, 0);
            if (breaks == 0) {
                move += '\n';
                track_cursor("\n", 1);
            }
        }
    }
    if (!move.empty()) {
        move.append(text, length);
        write_raw(move.data(), move.size());
    } else {
        write_raw(text, length);
    }
    track_cursor(text, length);
    note_text_end(text, length);
}

bool get_cursor_row(short* row) {
    check_terminal();
    if (!terminal.is_terminal) return false;
    catch_up();
    bar.active = true;
    bar.drawn = false;
    bar.row = terminal.row;
    bar.handle = static_cast<short>(terminal.row % ROW_NUMBERS);
    *row = bar.handle;
    return true;
}

void set_cursor_position(short row, short column) {
    check_terminal();
    if (!terminal.is_terminal || row < 0 || column < 0) return;
    push_pending();
    waiting_breaks = 0;  // the move takes the cursor away from where they lead
    bool is_bar = bar.active && row == bar.handle;
    if (is_bar && bar.drawn && pending.row == row && !is_reachable(bar.row)) {
        // The bar's line has left the screen: it is drawn again below.
        pending.active = true;
        push_pending();
    }
    std::string out;
    append_move(out, row_of(row), column);
    write_raw(out.data(), out.size());
    cursor_at_bar = is_bar;
}

void set_text_attribute(unsigned short attribute) {
    // No need to push waiting cells first: each carries its own attribute.
    if (!terminal.is_terminal) return;
    std::string out;
    append_attribute(out, attribute);
    write_raw(out.data(), out.size());
}

void write_cells(short row, short column, const char* text, const unsigned short* attributes,
                 std::size_t count) {
    // A row was only handed out after a look at the terminal.
    if (!terminal.is_terminal || row < 0 || column < 0) return;
    if (pending.active && pending.row != row) push_pending();
    if (!pending.active) {
        catch_up_at_exit();
        pending.active = true;
        pending.row = row;
        pending.width = 0;
    }
    // Cells before the column that nothing wrote yet are left as they are
    // on the screen: the row is only ever written from column 0 on here.
    std::size_t start = static_cast<std::size_t>(column);
    if (start > pending.width) start = pending.width;
    unsigned short in_force = terminal.attribute;
    for (std::size_t i = 0; i < count && start + i < MAX_CELLS; ++i) {
        pending.text[start + i] = text[i];
        pending.attributes[start + i] =
            attributes[i] == ATTRIBUTE_IN_FORCE ? in_force : attributes[i];
    }
    std::size_t end = start + count < MAX_CELLS ? start + count : MAX_CELLS;
    if (end > pending.width) pending.width = end;
    pending.cursor_after = end;
    if (now_ms() - pending.last_push_ms >= push_interval_ms()) push_pending();
}

}  // namespace platform
