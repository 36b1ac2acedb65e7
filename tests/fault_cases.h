// Faults that both backends must meet alike: the whole setup with default
// answers and Y, the faults set in its process before it starts, and what
// the console and install.log show then. The POSIX fault-seam tests and the
// Win32 backend's test exe (under Wine) run every case of this table.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "fault_injection.h"

struct InjectedFault {
    platform::fault_injection::Operation operation;
    unsigned long first;  // after the start-up measure's calls when after_measure
    unsigned long count;
    unsigned long code;
    bool after_measure;
};

// A line of the console or of install.log. The text ends the line, or with
// a leading ^ begins it; {APP} and {DIST} stand for APP_HOME's and the
// distribution's Windows paths.
struct ExpectedLine {
    std::string text;
    int times;  // -1: at least once
};

struct WholeRunFault {
    const char* name;
    std::vector<InjectedFault> faults;
    int exit_status;
    std::vector<ExpectedLine> output;
    std::vector<ExpectedLine> log;  // empty: install.log is never made
};

// GoogleTest names a case by its name.
inline void PrintTo(const WholeRunFault& fault, std::ostream* out) {
    *out << fault.name;
}

inline const std::vector<WholeRunFault>& whole_run_faults() {
    using platform::fault_injection::Operation;
    static const std::string LOG_NOT_WRITTEN =
        " See the messages above for details: install.log could not be written.";
    static const std::vector<WholeRunFault> cases = {
        // The fourth file copy meets a full disk, and so does every later one.
        {"DiskFullDuringTheCopy",
         {{Operation::copy_file, 4, 0, 112, false}},
         1,
         {{"APP_HOME created.", 0},
          {"^Error copying file: ", -1},
          {"Installation finished with errors. Press RETURN to exit.", 1}},
         {{"^Copied file: ", 3},
          {"^Error copying file: ", -1},
          {"Installation completed with errors.", 1}}},
        // Nothing can be created on drive C:, so no script can be written either.
        {"ReadOnlyTarget",
         {{Operation::create_directories, 1, 0, 5, false}},
         1,
         {{"Error: Could not create directory {APP} (Error Code: 5)", 1},
          {"Error: Could not create directory {APP}\\data (Error Code: 5)", 1},
          {"Error: APP_HOME was not completely created: 1 errors. See install.log for details.", 1},
          {"Error: DATA_HOME was not completely created: 1 errors. See install.log for details.",
           1},
          {"Error: Cannot open file for writing!", 3},
          {"^Error: SQL*Plus was not started because auto_install.sql is missing.", 1},
          {"^These stages failed: APP_HOME and DATA_HOME copy, set_env.sql, set_env.bat, "
           "auto_install.sql and database objects, desktop shortcut.",
           1}},
         {{"^Copied file: ", 0},
          {"Error: Could not create directory {APP}", 1},
          {"Installation completed with errors.", 1}}},
        // A read-only file in the target (the second copy), then a file that
        // another program holds open (the fifth): only that file fails.
        {"ReadOnlyFileInTheTarget",
         {{Operation::copy_file, 2, 1, 5, false}},
         1,
         {{"^Error copying file: ", 1},
          {"Error: APP_HOME was not completely created: 1 errors. See install.log for details.", 1},
          {"DATA_HOME created.", 1}},
         {{"^Error copying file: ", 1}, {"Installation completed with errors.", 1}}},
        {"SharingViolation",
         {{Operation::copy_file, 5, 1, 32, false}},
         1,
         {{"^Error copying file: ", 1},
          {"Error: APP_HOME was not completely created: 1 errors. See install.log for details.", 1},
          {"DATA_HOME created.", 1}},
         {{"^Error copying file: ", 1}, {"Installation completed with errors.", 1}}},
        // The distribution vanishes after the start measured it.
        {"VanishedSourceFolder",
         {{Operation::find_first_entry, 2, 0, 3, true}},
         1,
         {{"Error: Could not open source directory {DIST}", 1},
          {"Error: Could not open source directory {DIST}\\data", 1},
          {"Error: APP_HOME was not completely created: 1 errors. See install.log for details.", 1},
          {"Error: DATA_HOME was not completely created: 1 errors. See install.log for details.",
           1},
          {"Error: Cannot open file for writing!", 3}},
         {{"^Copied file: ", 0}, {"Installation completed with errors.", 1}}},
        // install.log cannot be opened: every stage does its work all the same.
        {"UnwritableLog",
         {{Operation::append_open, 1, 0, 5, false}},
         1,
         {{"Error: Could not open install.log for writing.", -1},
          {"APP_HOME created.", 1},
          {"DATA_HOME created.", 1},
          {"Shortcut created on Desktop: QUARNDEL.lnk", 1},
          {"^These stages failed: install.log (", 1},
          {"See install.log for details.", 0}},
         {}},
        // Three entries in the middle of the copy cannot be written, and one
        // file cannot be copied later in it (its folder, and so whether
        // SQL*Plus may run, depends on the order of the enumeration).
        {"LogEntriesLostDuringTheCopy",
         {{Operation::append_write, 15, 3, 112, false}, {Operation::copy_file, 6, 1, 32, false}},
         1,
         {{"Error: Could not write to install.log.", 3},
          {"Error: APP_HOME was not completely created: 1 errors." + LOG_NOT_WRITTEN, 1},
          {"^These stages failed: APP_HOME and DATA_HOME copy, ", 1},
          {" install.log (3 entries lost)." + LOG_NOT_WRITTEN, 1}},
         {{"^These stages failed: APP_HOME and DATA_HOME copy, ", 1},
          {" install.log (3 entries lost). Entries are missing from this log.", 1}}},
    };
    return cases;
}

// How many lines of the text (its \r dropped) end with the expected text,
// or begin with it after a ^, its placeholders filled in.
inline int count_expected_lines(const std::string& text, const ExpectedLine& expected,
                                const std::string& app, const std::string& dist) {
    std::string wanted = expected.text;
    const bool at_start = !wanted.empty() && wanted[0] == '^';
    if (at_start) wanted.erase(0, 1);
    for (const auto& [name, value] : {std::pair<std::string, std::string>{"{APP}", app},
                                      std::pair<std::string, std::string>{"{DIST}", dist}})
        for (std::size_t at = wanted.find(name); at != std::string::npos; at = wanted.find(name))
            wanted.replace(at, name.size(), value);
    int count = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() >= wanted.size() &&
            line.compare(at_start ? 0 : line.size() - wanted.size(), wanted.size(), wanted) == 0)
            ++count;
        start = end + 1;
    }
    return count;
}

// Checks the run's console output and log against the case.
template <typename Check>
void check_whole_run(const WholeRunFault& fault, int exit_status, const std::string& output,
                     const std::string* log, const std::string& app, const std::string& dist,
                     Check check) {
    check(exit_status == fault.exit_status, "exit status " + std::to_string(exit_status) +
                                                ", expected " + std::to_string(fault.exit_status));
    auto lines = [&](const std::vector<ExpectedLine>& expected, const std::string& text,
                     const char* where) {
        for (const ExpectedLine& line : expected) {
            int seen = count_expected_lines(text, line, app, dist);
            check(line.times < 0 ? seen > 0 : seen == line.times,
                  std::string(where) + ": \"" + line.text + "\" " + std::to_string(seen) +
                      " times, expected " +
                      (line.times < 0 ? std::string("some") : std::to_string(line.times)));
        }
    };
    lines(fault.output, output, "console");
    if (fault.log.empty()) {
        check(log == nullptr, "install.log was made");
    } else {
        check(log != nullptr, "no install.log");
        if (log != nullptr) lines(fault.log, *log, "install.log");
    }
}
