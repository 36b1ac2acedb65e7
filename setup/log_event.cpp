#include "setup/log_event.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/line_ends.h"
#include "platform/platform.h"
#include "setup/console_output.h"

namespace {

int lost_entries = 0;
// A part of an entry was left at the end of the log by a failed append.
bool fragment_in_log = false;
bool first_entry_of_the_run = true;

// Copies the text with every line break stored as CR LF. False when it
// does not fit.
bool with_crlf(const char* text, char* out, std::size_t capacity, std::size_t* used) {
    std::size_t length = std::strlen(text);
    return platform::copy_with_crlf(text, length, out, capacity, used) == length;
}

}  // namespace

bool log_event(const char* format, ...) {
    char entry[4096];
    std::va_list values;
    va_start(values, format);
    int length = std::vsnprintf(entry, sizeof entry, format, values);
    va_end(values);
    if (length < 0) entry[0] = '\0';
    // The whole entry with its line break, so it reaches the file in one
    // append: entries of runs that share the log never mix. After a part of
    // an entry that could not be taken back, the entry starts on a line of
    // its own rather than joining it.
    // A run killed while it wrote may have left its last entry cut short.
    if (first_entry_of_the_run) {
        first_entry_of_the_run = false;
        if (platform::ends_within_a_line("install.log")) fragment_in_log = true;
    }
    char line[2 * sizeof entry + 4];
    std::size_t used = 0;
    if (fragment_in_log) with_crlf("\n", line, sizeof line, &used);
    with_crlf(entry, line, sizeof line, &used);
    with_crlf("\n", line, sizeof line, &used);

    platform::AppendResult result = platform::append_to_file("install.log", line, used);
    if (result.stopped_taking_turns) {
        // Another run logging into the same install.log kept its turn too
        // long. Said once: the backend takes no more turns, so it never says
        // it again.
        report(OnConsole::line,
               "Warning: Another run writing to install.log kept its turn for 5 seconds; this "
               "run now writes to install.log without waiting for its turn.");
    }
    if (result.outcome == platform::AppendOutcome::appended) {
        fragment_in_log = false;
        return true;
    }
    if (result.fragment_left) fragment_in_log = true;
    if (result.outcome == platform::AppendOutcome::not_opened)
        print_line("Error: Could not open install.log for writing.");
    else
        print_line("Error: Could not write to install.log.");
    ++lost_entries;
    return false;
}

void log_on_interrupt(const char* entry) {
    if (entry == nullptr) {
        platform::set_interrupt_entry("install.log", nullptr, 0, "");
        return;
    }
    char line[1024];
    std::size_t used = 0;
    with_crlf(entry, line, sizeof line, &used);
    with_crlf("\n", line, sizeof line, &used);
    platform::set_interrupt_entry("install.log", line, used, entry);
}

int count_lost_log_entries() {
    return lost_entries;
}

const char* where_to_find_details() {
    return lost_entries > 0
               ? "See the messages above for details: install.log could not be written."
               : "See install.log for details.";
}

bool report(OnConsole spacing, const char* format, ...) {
    // Room left for the line breaks around it in the console's one write.
    char message[4090];
    std::va_list values;
    va_start(values, format);
    if (std::vsnprintf(message, sizeof message, format, values) < 0) message[0] = '\0';
    va_end(values);
    write_format("%s%s%s", spacing == OnConsole::after_line_break ? "\n" : "", message,
                 spacing == OnConsole::with_empty_line ? "\n\n" : "\n");
    return log_event("%s", message);
}
