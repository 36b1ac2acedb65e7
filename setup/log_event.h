// The installation log, install.log in the working directory.
#pragma once

// Appends one formatted entry and a line break (CR LF) to install.log,
// opening and closing the file for this entry alone. When the log cannot be
// written, prints an error line and returns false; the run goes on.
bool log_event(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Arranges that a run ended by Ctrl+C or Ctrl+Break leaves the entry (and
// shows it) as its last; null when the run's closing entry is written.
void log_on_interrupt(const char* entry);

// How many entries this run could not write to install.log.
int count_lost_log_entries();

// Where the operator finds the details of an error: install.log, unless
// entries of it were lost, when the console is the only complete record.
const char* where_to_find_details();
