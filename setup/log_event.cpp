#include "setup/log_event.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"
#include "setup/console_output.h"

namespace {

int lost_entries = 0;

// Copies the text with every line break stored as CR LF. False when it
// does not fit.
bool with_crlf(const char* text, char* out, std::size_t capacity, std::size_t* used) {
    for (const char* p = text; *p != '\0'; ++p) {
        std::size_t needed = *p == '\n' ? 2 : 1;
        if (*used + needed > capacity) return false;
        if (*p == '\n') out[(*used)++] = '\r';
        out[(*used)++] = *p;
    }
    return true;
}

}  // namespace

bool log_event(const char* format, ...) {
    char entry[4096];
    std::va_list values;
    va_start(values, format);
    int length = std::vsnprintf(entry, sizeof entry, format, values);
    va_end(values);
    if (length < 0) entry[0] = '\0';
    // The whole entry with its line break, so it reaches the file in one write.
    char line[2 * sizeof entry + 2];
    std::size_t used = 0;
    with_crlf(entry, line, sizeof line, &used);
    with_crlf("\n", line, sizeof line, &used);

    std::FILE* log = platform::open_file("install.log", "ab");
    if (log == nullptr) {
        print_line("Error: Could not open install.log for writing.");
        ++lost_entries;
        return false;
    }
    std::setvbuf(log, nullptr, _IONBF, 0);
    // Where the entry starts, so a part written before the disk filled up
    // can be taken back instead of joining the next entry.
    long start = std::fseek(log, 0, SEEK_END) == 0 ? std::ftell(log) : -1;
    bool written = std::fwrite(line, 1, used, log) == used;
    if (!written && start >= 0) platform::truncate_file(log, start);
    if (std::fclose(log) != 0) written = false;
    if (!written) {
        print_line("Error: Could not write to install.log.");
        ++lost_entries;
    }
    return written;
}

int count_lost_log_entries() {
    return lost_entries;
}
