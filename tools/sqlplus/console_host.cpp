#include "tools/sqlplus/console_host.h"

#include <cstdlib>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <termios.h>
#include <unistd.h>

#include "host_path.h"
#include "platform/platform.h"
#endif

namespace sqlplus {
namespace {

#ifdef _WIN32
HANDLE input_handle() {
    return GetStdHandle(STD_INPUT_HANDLE);
}

bool input_is_console() {
    DWORD mode = 0;
    HANDLE in = input_handle();
    return in != nullptr && in != INVALID_HANDLE_VALUE && GetConsoleMode(in, &mode) != 0;
}

// One byte, no read-ahead; -1 at end of input.
int read_byte() {
    HANDLE in = input_handle();
    if (in == nullptr || in == INVALID_HANDLE_VALUE) return -1;
    char c = 0;
    DWORD got = 0;
    if (!ReadFile(in, &c, 1, &got, nullptr) || got == 0) return -1;
    if (c == 0x1A && input_is_console()) return -1;  // Ctrl+Z typed at the console
    return static_cast<unsigned char>(c);
}

// Turns console echo off for a hidden answer; restores it when destroyed.
class EchoOff {
  public:
    EchoOff() {
        HANDLE in = input_handle();
        if (in != nullptr && in != INVALID_HANDLE_VALUE && GetConsoleMode(in, &mode_)) {
            active_ = SetConsoleMode(in, mode_ & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
        }
    }
    ~EchoOff() {
        if (active_) SetConsoleMode(input_handle(), mode_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    bool active() const {
        return active_;
    }

  private:
    DWORD mode_ = 0;
    bool active_ = false;
};

// Ctrl+C and Ctrl+Break end the program with STATUS_CONTROL_C_EXIT, as
// Windows' own handling does; Wine's ends it with status 0, which would
// pass for a successful run.
BOOL WINAPI end_on_break(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) ExitProcess(0xC000013AUL);
    return FALSE;
}
#else
bool input_is_console() {
    return isatty(0) != 0;
}

int read_byte() {
    for (;;) {
        unsigned char c = 0;
        const ssize_t got = read(0, &c, 1);
        if (got == 1) return c;
        if (got < 0 && errno == EINTR) continue;
        return -1;
    }
}

class EchoOff {
  public:
    EchoOff() {
        if (isatty(0) && tcgetattr(0, &saved_) == 0) {
            termios quiet = saved_;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            // TCSANOW: answers typed ahead must not be thrown away.
            active_ = tcsetattr(0, TCSANOW, &quiet) == 0;
        }
    }
    ~EchoOff() {
        if (active_) tcsetattr(0, TCSANOW, &saved_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    bool active() const {
        return active_;
    }

  private:
    termios saved_{};
    bool active_ = false;
};
#endif

void write_all(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

}  // namespace

std::FILE* open_named_file(const std::string& path, const char* mode) {
#ifdef _WIN32
    return std::fopen(path.c_str(), mode);
#else
    const bool windows_form =
        (path.size() >= 2 && path[1] == ':') || path.find('\\') != std::string::npos;
    if (!windows_form) return std::fopen(path.c_str(), mode);
    char host[4096];
    if (!host_path::to_host(path.c_str(), host, sizeof host)) return nullptr;
    return std::fopen(host, mode);
#endif
}

ConsoleHost::ConsoleHost() {
    const char* name = std::getenv("SQLPLUS_TRANSCRIPT");
    transcript_path_ = (name != nullptr && name[0] != '\0') ? name : "sqlplus-transcript.log";
#ifdef _WIN32
    SetConsoleCtrlHandler(end_on_break, TRUE);
#endif
}

ConsoleHost::~ConsoleHost() {
    if (transcript_ != nullptr) std::fclose(transcript_);
}

void ConsoleHost::out(const std::string& text) {
    write_all(stdout, text);
}

void ConsoleHost::err(const std::string& text) {
    write_all(stderr, text);
}

bool ConsoleHost::input_is_terminal() {
    return input_is_console();
}

std::optional<std::string> ConsoleHost::read_line(bool hide) {
    std::optional<EchoOff> echo_off;
    if (hide) echo_off.emplace();
    std::string line;
    bool any = false;
    for (;;) {
        const int c = read_byte();
        if (c < 0) break;
        any = true;
        if (c == '\n') break;
        line.push_back(static_cast<char>(c));
    }
    if (echo_off && echo_off->active()) out("\n");  // the Enter key was not echoed
    if (!any) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool ConsoleHost::read_file(const std::string& path, std::string& contents) {
    std::FILE* file = open_named_file(path, "rb");
    if (file == nullptr) return false;
    contents.clear();
    char chunk[8192];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) contents.append(chunk, got);
    const bool ok = std::ferror(file) == 0;  // a folder opens but cannot be read
    std::fclose(file);
    return ok;
}

void ConsoleHost::record(const std::string& line) {
    if (transcript_ == nullptr && !transcript_failed_) {
        transcript_ = open_named_file(transcript_path_, "ab");
        if (transcript_ == nullptr) {
            transcript_failed_ = true;
            err("SQL*Plus stand-in: cannot write the transcript \"" + transcript_path_ + "\".\n");
        }
    }
    if (transcript_ == nullptr) return;
    const std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), transcript_);
    if (std::fflush(transcript_) != 0 && !transcript_failed_) {
        transcript_failed_ = true;
        err("SQL*Plus stand-in: writing the transcript \"" + transcript_path_ + "\" failed.\n");
    }
}

std::string ConsoleHost::timestamp() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    char text[32] = "";
    if (local != nullptr) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return text;
}

}  // namespace sqlplus
