// Running a command line on a POSIX host. The line is split as a Windows
// program splits its command line (blanks separate words, double quotes
// group them and are removed) and the program is started directly, found
// through PATH's absolute folders: no shell sees the text, so nothing in it
// is expanded.
// While the program runs, this process ignores SIGINT and SIGQUIT, as the
// C library's system() does: the terminal's Ctrl+C ends the program only.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/system_calls.h"

namespace platform {
namespace {

constexpr int MAX_WORDS = 64;

// Splits the line in place into words; returns the word count.
int split_command_line(char* line, char* words[], int capacity) {
    int count = 0;
    char* out = line;
    char* p = line;
    while (*p != '\0' && count < capacity - 1) {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == '\0') break;
        words[count++] = out;
        bool quoted = false;
        while (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) {
            if (*p == '"') {
                quoted = !quoted;
            } else {
                *out++ = *p;
            }
            ++p;
        }
        if (*p != '\0') ++p;
        *out++ = '\0';
    }
    words[count] = nullptr;
    return count;
}

// Stores the program's path from the absolute folders of PATH: an empty or
// relative entry (".") would find it in the current folder, where anybody
// may have left a program of that name. A name with a slash is kept.
bool find_program(const char* name, char* found, std::size_t capacity) {
    if (std::strchr(name, '/') != nullptr) {
        return std::snprintf(found, capacity, "%s", name) < static_cast<int>(capacity);
    }
    const char* list = std::getenv("PATH");
    for (const char* p = list != nullptr ? list : ""; *p != '\0';) {
        const char* end = std::strchr(p, ':');
        std::size_t length = end != nullptr ? static_cast<std::size_t>(end - p) : std::strlen(p);
        if (length > 0 && p[0] == '/') {
            int written =
                std::snprintf(found, capacity, "%.*s/%s", static_cast<int>(length), p, name);
            if (written > 0 && static_cast<std::size_t>(written) < capacity &&
                access(found, X_OK) == 0)
                return true;
        }
        p += length;
        if (*p == ':') ++p;
    }
    return false;
}

}  // namespace

const unsigned long COMMAND_NOT_FOUND_STATUS = 127;

CommandResult run_command(const char* command) {
    const CommandResult not_started = {false, 0, false};
    char line[4096];
    if (std::snprintf(line, sizeof line, "%s", command) >= static_cast<int>(sizeof line))
        return not_started;
    char* words[MAX_WORDS];
    if (split_command_line(line, words, MAX_WORDS) == 0) return not_started;

    // A program stopped at a hidden prompt can leave echo off.
    termios terminal{};
    bool on_terminal = isatty(0) != 0 && tcgetattr(0, &terminal) == 0;

    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction saved_interrupt {};
    struct sigaction saved_quit {};
    sigaction(SIGINT, &ignore, &saved_interrupt);
    sigaction(SIGQUIT, &ignore, &saved_quit);

    pid_t child = system_calls().fork();
    if (child == 0) {
        // The program gets the dispositions this process had before.
        sigaction(SIGINT, &saved_interrupt, nullptr);
        sigaction(SIGQUIT, &saved_quit, nullptr);
        static char program[4096];
        errno = ENOENT;
        if (find_program(words[0], program, sizeof program)) execv(program, words);
        std::fprintf(stderr, "'%s' could not be started: %s\n", words[0], std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    bool waited = child > 0;
    while (waited && system_calls().waitpid(child, &status, 0) < 0) waited = errno == EINTR;
    sigaction(SIGINT, &saved_interrupt, nullptr);
    sigaction(SIGQUIT, &saved_quit, nullptr);
    if (on_terminal) tcsetattr(0, TCSANOW, &terminal);

    if (!waited) return not_started;
    if (WIFEXITED(status)) return {true, static_cast<unsigned long>(WEXITSTATUS(status)), false};
    int signal = WTERMSIG(status);
    return {true, 128ul + static_cast<unsigned long>(signal),
            signal == SIGINT || signal == SIGQUIT};
}

}  // namespace platform
