// Standard input and output, and the progress bar's console operations, on
// a POSIX terminal.
//
// A terminal has no screen buffer to ask for the cursor's row without
// reading the answer from the input (which would take the operator's
// typed-ahead bytes), so rows here are counted: every line break and every
// wrap of a full line that this program writes moves the row on by one, and
// a cursor move is made relative to where the cursor is. Rows scrolled off
// the screen keep their numbers, so the bar stays on its own line.
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

struct TerminalState {
    bool is_terminal = false;
    int width = 80;
    long row = 0;  // counted rows since the program started
    long column = 0;
    unsigned short attribute = 7;  // in force; 7 is the terminal's own colour
};

// Cells waiting to be put on one row, from column 0 on.
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
PendingCells pending;

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
// away from one) follows; one system call tells both that and the width.
void check_terminal() {
    struct winsize size;
    terminal.is_terminal = ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0;
    if (terminal.is_terminal && size.ws_col > 0) terminal.width = size.ws_col;
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
}

// Appends the bytes that move the cursor from where the counted position
// says it is to (row, column), and updates the count.
void append_move(std::string& out, short row, short column) {
    long current = terminal.row % 16384;
    if (current == row && terminal.column == column) return;  // already there
    long delta = row - current;
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
        std::snprintf(move, sizeof move, "\x1b[%dC", column);
        out += move;
    }
    terminal.row += delta;
    terminal.column = column;
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

// Puts the waiting cells on the terminal in one write.
void push_pending() {
    if (!pending.active) return;
    pending.active = false;
    pending.last_push_ms = now_ms();
    std::string out;
    unsigned short in_force = terminal.attribute;
    append_move(out, pending.row, 0);
    for (std::size_t i = 0; i < pending.width; ++i) {
        append_attribute(out, pending.attributes[i]);
        out += pending.text[i];
    }
    append_attribute(out, in_force);
    track_cursor(pending.text, pending.width);
    append_move(out, pending.row, static_cast<short>(pending.cursor_after));
    write_raw(out.data(), out.size());
}

}  // namespace

int read_input_byte() {
    push_pending();
    for (;;) {
        unsigned char c;
        ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got == 1) return c;
        if (got < 0 && errno == EINTR) continue;
        return -1;
    }
}

void write_output(const char* text, std::size_t length) {
    check_terminal();
    if (terminal.is_terminal) {
        push_pending();
        track_cursor(text, length);
    }
    write_raw(text, length);
}

bool get_cursor_row(short* row) {
    check_terminal();
    if (!terminal.is_terminal) return false;
    push_pending();
    *row = static_cast<short>(terminal.row % 16384);
    return true;
}

void set_cursor_position(short row, short column) {
    check_terminal();
    if (!terminal.is_terminal || row < 0 || column < 0) return;
    push_pending();
    std::string out;
    append_move(out, row, column);
    write_raw(out.data(), out.size());
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
        static bool pushed_at_exit = std::atexit(push_pending) == 0;
        (void)pushed_at_exit;
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
