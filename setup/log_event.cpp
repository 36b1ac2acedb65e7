#include "setup/log_event.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"
#include "setup/console_output.h"

namespace {

int lost_entries = 0;

// Writes the text with every line break stored as CR LF. False on a write error.
bool write_with_crlf(std::FILE* file, const char* text) {
    const char* start = text;
    for (const char* p = text;; ++p) {
        if (*p == '\n' || *p == '\0') {
            std::size_t length = static_cast<std::size_t>(p - start);
            if (length > 0 && std::fwrite(start, 1, length, file) != length) return false;
            if (*p == '\0') return true;
            if (std::fwrite("\r\n", 1, 2, file) != 2) return false;
            start = p + 1;
        }
    }
}

}  // namespace

bool log_event(const char* format, ...) {
    char entry[4096];
    std::va_list values;
    va_start(values, format);
    int length = std::vsnprintf(entry, sizeof entry, format, values);
    va_end(values);
    if (length < 0) entry[0] = '\0';

    std::FILE* log = platform::open_file("install.log", "ab");
    if (log == nullptr) {
        print_line("Error: Could not open install.log for writing.");
        ++lost_entries;
        return false;
    }
    // Where the entry starts, so a part written before the disk filled up
    // can be taken back instead of joining the next entry.
    long start = std::fseek(log, 0, SEEK_END) == 0 ? std::ftell(log) : -1;
    bool written = write_with_crlf(log, entry) && write_with_crlf(log, "\n") && std::fflush(log) == 0;
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
