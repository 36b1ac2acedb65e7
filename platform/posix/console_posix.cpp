// Standard input and output, and the progress bar's console operations, on
// a POSIX terminal.
//
// Where the bar and later text go is the console model's; this is the
// terminal's raw side. A terminal has no screen buffer to ask for the
// cursor's row without reading the answer from the input (which would take
// the operator's typed-ahead bytes), so the model counts rows, and a cursor
// move is made relative to where the cursor is: up with a cursor-up, down
// with line feeds, which at the bottom of the screen scroll, so the row
// comes into existence below the text.
//
// SETUP_CONSOLE_PUSH_MS changes the interval at which gathered cells are
// put on the terminal (0 puts every write on it at once), so tests can
// watch each draw.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/console_model.h"
#include "platform/platform.h"

namespace platform {
namespace {

// On Windows a closed pipe on standard output (setup < answers | head -2)
// only makes the writes fail; here it would end the program with SIGPIPE
// halfway through the install. So the signal is ignored from the start:
// writes fail with EPIPE and are dropped. The programs it starts inherit
// that, as they would meet the same pipe on Windows.
const bool broken_pipe_ignored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;

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

// The terminal decodes UTF-8 where the locale says so.
bool locale_is_utf8() {
    const char* names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (value == nullptr || value[0] == '\0') continue;
        return std::strstr(value, "UTF-8") != nullptr || std::strstr(value, "utf8") != nullptr;
    }
    return false;
}

class Terminal final : public ConsoleDevice {
  public:
    // Asked at every use, so a program whose output moves to a terminal (or
    // away from one) follows; one system call tells that and the size.
    bool read(ConsoleReading* reading) override {
        struct winsize size;
        if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return false;
        if (size.ws_col > 0) width_ = size.ws_col;
        if (size.ws_row > 0) height_ = size.ws_row;
        reading->width = width_;
        reading->height = height_;
        reading->cursor_known = false;
        reading->attribute = 7;  // the terminal's own colour
        reading->wrap_delayed = true;
        reading->utf8 = utf8_;
        return true;
    }

    void write(const char* text, std::size_t length) override {
        write_raw(text, length);
    }

    bool move(long from_row, long row, long column) override {
        std::string out;
        char move[32];
        long delta = row - from_row;
        if (delta < 0) {
            std::snprintf(move, sizeof move, "\x1b[%ldA\r", -delta);
            out += move;
        } else {
            out.append(static_cast<std::size_t>(delta), '\n');
            out += '\r';
        }
        if (column > 0) {
            std::snprintf(move, sizeof move, "\x1b[%ldC", column);
            out += move;
        }
        write_raw(out.data(), out.size());
        return true;
    }

    void set_attribute(unsigned short attribute) override {
        if (attribute == 2) {
            write_raw("\x1b[32m", 5);
        } else if (attribute == 4) {
            write_raw("\x1b[31m", 5);
        } else {
            write_raw("\x1b[0m", 4);  // 7 and anything unmapped: the terminal's own colour
        }
    }

    long long now_ms() override {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    }

    long long push_interval_ms() override {
        static long interval = [] {
            const char* value = std::getenv("SETUP_CONSOLE_PUSH_MS");
            return value != nullptr && value[0] != '\0' ? std::atol(value)
                                                        : CONSOLE_PUSH_INTERVAL_MS;
        }();
        return interval;
    }

  private:
    int width_ = 80;
    int height_ = 24;
    bool utf8_ = locale_is_utf8();
};

Terminal terminal;
ConsoleModel console(terminal);

}  // namespace

ConsoleModel& the_console() {
    return console;
}

int read_input_byte() {
    console.catch_up();
    for (;;) {
        unsigned char c;
        ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        // The terminal echoed what was typed, line break included: the
        // cursor now stands on a new lowest row, below all that was written.
        console.input_read(isatty(STDIN_FILENO) != 0);
        return got == 1 ? c : -1;
    }
}

void write_output(const char* text, std::size_t length) {
    if (!console.write_text(text, length)) write_raw(text, length);
}

}  // namespace platform
