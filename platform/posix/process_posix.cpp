// Running a command line on a POSIX host. The line is split as a Windows
// program splits its command line (blanks separate words, double quotes
// group them and are removed) and the program is started directly, found
// through PATH: no shell sees the text, so nothing in it is expanded.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/platform.h"

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

}  // namespace

int run_command(const char* command) {
    char line[4096];
    if (std::snprintf(line, sizeof line, "%s", command) >= static_cast<int>(sizeof line)) return -1;
    char* words[MAX_WORDS];
    if (split_command_line(line, words, MAX_WORDS) == 0) return -1;

    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        execvp(words[0], words);
        std::fprintf(stderr, "'%s' could not be started: %s\n", words[0], std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

}  // namespace platform
