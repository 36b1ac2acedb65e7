// The installation log, install.log in the working directory.
#pragma once

// Appends one formatted entry and a line break (CR LF) to install.log,
// opening and closing the file for this entry alone. When the log cannot be
// written, prints an error line and returns false; the run goes on.
bool log_event(const char* format, ...) __attribute__((format(printf, 1, 2)));

// How a message's console copy stands beside its log entry: the same text,
// on a line of its own.
enum class OnConsole {
    line,              // just the line
    after_line_break,  // a line break first: the line before it (the bar's) is open
    with_empty_line,   // an empty line after it, before the next stage's text
};

// Prints the formatted message on the console, as the spacing says, and
// logs it as an entry: one text for both, so the two never differ. Returns
// what log_event returns.
bool report(OnConsole spacing, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Arranges that a run ended by Ctrl+C or Ctrl+Break leaves the entry (and
// shows it) as its last; null when the run's closing entry is written.
void log_on_interrupt(const char* entry);

// How many entries this run could not write to install.log.
int count_lost_log_entries();

// Where the operator finds the details of an error: install.log, unless
// entries of it were lost, when the console is the only complete record.
const char* where_to_find_details();
