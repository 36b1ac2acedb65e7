// Faults that both backends must meet alike: the whole setup with default
// answers and Y, the faults set in its process before it starts, and what
// the console and install.log show then. The POSIX fault-seam tests and the
// Win32 backend's test exe (under Wine) run every case of this table.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "fault_injection.h"

// The rows that fail: the POSIX backend's and the Win32 backend's.
struct InjectedFault {
    const char* posix_row;
    const char* win32_row;
    unsigned long first;  // after the start-up measure's calls when after_measure
    unsigned long count;
    unsigned long code;
    bool after_measure;
};

// How many times a line must be seen: a number, SOME (at least once), or
// COPIES - n: as many as the run's file copies (APP_HOME's and DATA_HOME's
// together) less n; CLEAN_LOG_LINES + n and CLEAN_LOG_ENTRIES + n: the
// lines of install.log after a clean run (a default install without faults,
// by the same fixture), or its entries (its non-blank lines), and n.
constexpr int SOME = -1;
constexpr int COPIES = 1 << 20;
constexpr int CLEAN_LOG_LINES = 2 << 20;
constexpr int CLEAN_LOG_ENTRIES = 3 << 20;

// A line of the console or of install.log. The text ends the line; with a
// leading ^ it begins the line, with = it is the whole line, with * it is
// anywhere in it. {APP} and {DIST} stand for APP_HOME's and the
// distribution's Windows paths, {APP_FILES-n} and {DATA_FILES} for the
// number of files copied into APP_HOME (less n) and DATA_HOME, and
// {CLEAN_LOG_ENTRIES+n} for the entries of a clean run's install.log (and n).
struct ExpectedLine {
    std::string text;
    int times;
};

// What a shared case asks of SQL*Plus beyond its lines: nothing, or that it
// runs exactly when every file of APP_HOME's install and config folders
// arrived (which file a fault meets depends on the order of enumeration).
enum class Sqlplus { not_checked, unless_a_script_failed };

struct WholeRunFault {
    const char* name;
    std::vector<InjectedFault> faults;
    int exit_status;
    std::vector<ExpectedLine> output;
    std::vector<ExpectedLine> log;    // empty: install.log is never made
    std::vector<std::string> absent;  // Windows paths the run must not leave
    Sqlplus sqlplus = Sqlplus::not_checked;
    int log_lines = -1;  // lines of install.log (CLEAN_LOG_LINES-relative); -1: any
};

// What a run of a case is checked against: where it installed, how many
// files each copy takes, and the lines and entries of a clean run's log.
struct RunPlaces {
    std::string app, dist;
    int app_files, data_files;
    int clean_log_lines, clean_log_entries;
};

// GoogleTest names a case by its name.
inline void PrintTo(const WholeRunFault& fault, std::ostream* out) {
    *out << fault.name;
}

inline const std::vector<WholeRunFault>& whole_run_faults() {
    static const std::string LOG_NOT_WRITTEN =
        " See the messages above for details: install.log could not be written.";
    static const std::string ALL_STAGES =
        "^These stages failed: APP_HOME and DATA_HOME copy, set_env.sql, set_env.bat, "
        "auto_install.sql and database objects";
    static const std::string SET_ENV_SQL = "SQL script set_env.sql";
    static const std::vector<WholeRunFault> cases = {
        // The fourth file copy meets a full disk, and so does every later
        // copy and every script written after it: each script is reported
        // and no half-written file is left.
        {"DiskFullDuringTheCopy",
         {{"copy_file", "CopyFileA", 4, 0, 112, false},
          {"write_text", "WriteFile_text", 1, 0, 112, false}},
         1,
         {{"APP_HOME created.", 0},
          {"^Error copying file: ", COPIES - 3},
          {"=Error: APP_HOME was not completely created: {APP_FILES-3} errors. See install.log "
           "for details.",
           1},
          {"=Error: DATA_HOME was not completely created: {DATA_FILES} errors. See install.log "
           "for details.",
           1},
          {"=Error: Could not write {APP}\\config\\set_env.sql completely (is the disk full?). "
           "The file was removed.",
           1},
          {"=Error: " + SET_ENV_SQL + " was not written.", 1},
          {"=Error: Script set_env.bat was not written.", 1},
          {"=Error: SQL script auto_install.sql was not written.", 1},
          {ALL_STAGES, 1},
          {"Installation finished with errors. Press RETURN to exit.", 1}},
         {{"^Copied file: ", 3},
          {"^Error copying file: ", COPIES - 3},
          {"=Error: " + SET_ENV_SQL + " was not written.", 1},
          {"=Error: Script set_env.bat was not written.", 1},
          {"=Error: SQL script auto_install.sql was not written.", 1},
          {"=Installation completed with errors.", 1}},
         {"{APP}\\config\\set_env.sql", "{APP}\\config\\set_env.bat",
          "{APP}\\install\\auto_install.sql"}},
        // Nothing can be created on drive C:, so no script can be written either.
        {"ReadOnlyTarget",
         {{"make_folders", "CreateDirectoryA", 1, 0, 5, false},
          {"mkdirat", "SHCreateDirectoryExA", 1, 0, 5, false}},
         1,
         {{"=Error: Could not create directory {APP} (Error Code: 5)", 1},
          {"=Error: Could not create directory {APP}\\data (Error Code: 5)", 1},
          {"=Error: APP_HOME was not completely created: 1 errors. See install.log for details.",
           1},
          {"=Error: DATA_HOME was not completely created: 1 errors. See install.log for "
           "details.",
           1},
          {"=Error: Cannot open file for writing!", 3},
          {"^Error: SQL*Plus was not started because auto_install.sql is missing.", 1},
          {"^These stages failed: APP_HOME and DATA_HOME copy, set_env.sql, set_env.bat, "
           "auto_install.sql and database objects, desktop shortcut.",
           1}},
         {{"^Copied file: ", 0},
          {"=Error: Could not create directory {APP}", 1},
          {"=Error: Could not create directory {APP}\\data", 1},
          {"=Error: " + SET_ENV_SQL + " was not written.", 1},
          {"=Error: Script set_env.bat was not written.", 1},
          {"=Error: SQL script auto_install.sql was not written.", 1},
          {"=Installation completed with errors.", 1}},
         {"C:\\XEPDB1"}},
        // A file the copy may not replace, the second copied: a read-only file
        // in the target. (A file that another program holds open, a sharing
        // violation, takes the same path with the same messages.) Only that
        // file fails, its line the same on the console and in the log.
        {"ReadOnlyFileInTheTarget",
         {{"copy_file", "CopyFileA", 2, 1, 5, false}},
         1,
         {{"^Error copying file: ", 1},
          {"=Error: APP_HOME was not completely created: 1 errors. See install.log for details.",
           1},
          {"=DATA_HOME created.", 1}},
         {{"^Copied file: ", COPIES - 1},
          {"^Error copying file: ", 1},
          {"=SQL script set_env.sql created.", 1},
          {"=Script set_env.bat created.", 1},
          {"=SQL script auto_install.sql created.", 1},
          {"=Shortcut created on Desktop: QUARNDEL.lnk", 1},
          {"=Installation completed with errors.", 1}},
         {},
         Sqlplus::unless_a_script_failed},
        // The distribution vanishes after the start measured it: every later
        // enumeration fails, so neither copy takes a file, and without the
        // config folder no script can be written.
        {"VanishedSourceFolder",
         {{"opendir", "FindFirstFileW", 2, 0, 3, true}},
         1,
         {{"=Error: Could not open source directory {DIST}", 1},
          {"=Error: Could not open source directory {DIST}\\data", 1},
          {"=Error: APP_HOME was not completely created: 1 errors. See install.log for details.",
           1},
          {"=Error: DATA_HOME was not completely created: 1 errors. See install.log for "
           "details.",
           1},
          {"=Error: Cannot open file for writing!", 3},
          {ALL_STAGES, 1}},
         {{"^Copied file: ", 0},
          {"=Error: Could not open source directory {DIST}", 1},
          {"=Error: Could not open source directory {DIST}\\data", 1},
          {"Installation completed with errors.", 1}},
         {}},
        // install.log cannot be opened: every stage does its work all the same;
        // each entry lost is said on a line of its own (one may follow a
        // prompt whose answer came from a file) and counted in the summary,
        // which cannot send the operator to the log: a clean run's entries and
        // the line of failed stages.
        {"UnwritableLog",
         {{"open_append", "CreateFileA_append", 1, 0, 5, false}},
         1,
         {{"Error: Could not open install.log for writing.", CLEAN_LOG_ENTRIES + 1},
          {"*Error: Could not open install.log for writing.", CLEAN_LOG_ENTRIES + 1},
          {"=APP_HOME created.", 1},
          {"=DATA_HOME created.", 1},
          {"=SQL script set_env.sql created.", 1},
          {"=Script set_env.bat created.", 1},
          {"=SQL Script auto_install.sql created.", 1},
          {"=Shortcut created on Desktop: QUARNDEL.lnk", 1},
          {"*Error: SQL*Plus", 0},
          {"=These stages failed: install.log ({CLEAN_LOG_ENTRIES+1} entries lost)." +
               LOG_NOT_WRITTEN,
           1},
          {"*See install.log", 0},
          {"Installation finished with errors. Press RETURN to exit.", 1}},
         {},
         {}},
        // Three entries in the middle of the copy cannot be written, and one
        // file cannot be copied later in it (its folder, and so whether
        // SQL*Plus may run, depends on the order of the enumeration). The log
        // keeps no part of a lost entry.
        {"LogEntriesLostDuringTheCopy",
         {{"write_append", "WriteFile_append", 15, 3, 112, false},
          {"copy_file", "CopyFileA", 6, 1, 32, false}},
         1,
         {{"=Error: Could not write to install.log.", 3},
          {"=Error: APP_HOME was not completely created: 1 errors." + LOG_NOT_WRITTEN, 1},
          {"^These stages failed: APP_HOME and DATA_HOME copy, ", 1},
          {" install.log (3 entries lost)." + LOG_NOT_WRITTEN, 1},
          {"*See install.log", 0}},
         {{"^These stages failed: APP_HOME and DATA_HOME copy, ", 1},
          {" install.log (3 entries lost). Entries are missing from this log.", 1},
          {"*<", 0}},
         {},
         Sqlplus::unless_a_script_failed,
         CLEAN_LOG_LINES - 3 + 1},
    };
    return cases;
}

// The text with its placeholders filled in.
inline std::string fill_places(std::string text, const RunPlaces& places) {
    const int copies = places.app_files + places.data_files;
    auto number = [&](const std::string& name, int base) {
        for (std::size_t at = text.find("{" + name); at != std::string::npos;
             at = text.find("{" + name)) {
            std::size_t close = text.find('}', at);
            std::string offset = text.substr(at + 1 + name.size(), close - at - 1 - name.size());
            text.replace(at, close + 1 - at, std::to_string(base + std::atoi(offset.c_str())));
        }
    };
    number("APP_FILES", places.app_files);
    number("DATA_FILES", places.data_files);
    number("COPIES", copies);
    number("CLEAN_LOG_ENTRIES", places.clean_log_entries);
    for (const auto& [name, value] : {std::pair<std::string, std::string>{"{APP}", places.app},
                                      std::pair<std::string, std::string>{"{DIST}", places.dist}})
        for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name))
            text.replace(at, name.size(), value);
    return text;
}

// A count of the table (SOME, a number, COPIES - n, CLEAN_LOG_...) for this run.
inline int times_for(int times, const RunPlaces& places) {
    if (times < COPIES / 2) return times;
    const int base[] = {places.app_files + places.data_files, places.clean_log_lines,
                        places.clean_log_entries};
    const int which = (times + COPIES / 2) / COPIES;  // the nearest multiple
    return base[which - 1] + (times - which * COPIES);
}

// The lines and the entries (non-blank lines) of a log.
inline std::pair<int, int> count_log_lines(const std::string& log) {
    int lines = 0, entries = 0;
    for (std::size_t start = 0; start < log.size(); ++lines) {
        const std::size_t end = std::min(log.find('\n', start), log.size());
        if (log.find_first_not_of("\r", start) < end) ++entries;
        start = end + 1;
    }
    return {lines, entries};
}

// The lines of the text, their \r dropped.
inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// How many lines of the text match the expected text (see ExpectedLine).
inline int count_expected_lines(const std::vector<std::string>& lines, const std::string& text,
                                const RunPlaces& places) {
    std::string wanted = fill_places(text, places);
    const char mode = !wanted.empty() && std::strchr("^=*", wanted[0]) ? wanted[0] : '$';
    if (mode != '$') wanted.erase(0, 1);
    int count = 0;
    for (const std::string& line : lines) {
        bool match = mode == '^'   ? line.rfind(wanted, 0) == 0
                     : mode == '=' ? line == wanted
                     : mode == '*'
                         ? line.find(wanted) != std::string::npos
                         : line.size() >= wanted.size() && line.compare(line.size() - wanted.size(),
                                                                        wanted.size(), wanted) == 0;
        if (match) ++count;
    }
    return count;
}

// Checks the run's console output and log against the case; exists tells
// whether a Windows path exists after the run.
template <typename Check, typename Exists>
void check_whole_run(const WholeRunFault& fault, int exit_status, const std::string& output,
                     const std::string* log, const RunPlaces& places, Check check, Exists exists) {
    check(exit_status == fault.exit_status, "exit status " + std::to_string(exit_status) +
                                                ", expected " + std::to_string(fault.exit_status));
    const std::vector<std::string> console = lines_of(output);
    const std::vector<std::string> entries =
        log != nullptr ? lines_of(*log) : std::vector<std::string>{};
    auto lines = [&](const std::vector<ExpectedLine>& expected,
                     const std::vector<std::string>& text, const char* where) {
        for (const ExpectedLine& line : expected) {
            const int seen = count_expected_lines(text, line.text, places);
            const int times = times_for(line.times, places);
            check(line.times == SOME ? seen > 0 : seen == times,
                  std::string(where) + ": \"" + fill_places(line.text, places) + "\" " +
                      std::to_string(seen) + " times, expected " +
                      (line.times == SOME ? std::string("some") : std::to_string(times)));
        }
    };
    lines(fault.output, console, "console");
    if (fault.log.empty()) {
        check(log == nullptr, "install.log was made");
    } else {
        check(log != nullptr, "no install.log");
        lines(fault.log, entries, "install.log");
    }
    for (const std::string& path : fault.absent)
        check(!exists(fill_places(path, places)), fill_places(path, places) + " was left");
    // A failed copy leaves no file (unless the APP_HOME copy brought it
    // before the DATA_HOME copy failed over it), and its console line is
    // its log entry.
    bool script_failed = false;
    int refusals = 0;  // of SQL*Plus: one each install script not copied
    bool folder_failed[2] = {false, false};  // and one each of the two folders
    for (const std::string& entry : entries) {
        if (entry.rfind("Error copying file: ", 0) != 0) continue;
        const std::string destination = entry.substr(entry.find(" -> ") + 4);
        bool copied_before = false;
        for (const std::string& other : entries)
            if (other.rfind("Copied file: ", 0) == 0 && other.size() >= destination.size() + 4 &&
                other.compare(other.size() - destination.size() - 4, std::string::npos,
                              " -> " + destination) == 0)
                copied_before = true;
        if (!copied_before) check(!exists(destination), destination + " was left by a failed copy");
        check(count_expected_lines(console, "=" + entry, places) ==
                  count_expected_lines(entries, "=" + entry, places),
              "console: \"" + entry + "\" not as often as in install.log");
        const char* const folders[] = {"\\install\\", "\\config\\"};
        for (int i = 0; i < 2; ++i)
            if (destination.rfind(places.app + folders[i], 0) == 0)
                script_failed = folder_failed[i] = true;
        for (const char* script : {"install_schema", "seed_data", "compile_packages",
                                   "lock_schema"})
            if (destination == places.app + "\\install\\" + script + ".sql") ++refusals;
    }
    refusals += (folder_failed[0] ? 1 : 0) + (folder_failed[1] ? 1 : 0);
    // Where SQL*Plus was not started, its refusals take the place of the
    // command and its result.
    const int fewer =
        fault.sqlplus == Sqlplus::unless_a_script_failed && script_failed ? 2 - refusals : 0;
    if (fault.log_lines >= 0)
        check(static_cast<int>(entries.size()) == times_for(fault.log_lines, places) - fewer,
              "install.log has " + std::to_string(entries.size()) + " lines, expected " +
                  std::to_string(times_for(fault.log_lines, places) - fewer));
    if (fault.sqlplus == Sqlplus::unless_a_script_failed) {
        check(count_expected_lines(console, "^Executing: ", places) == (script_failed ? 0 : 1),
              script_failed ? "SQL*Plus ran without its scripts" : "SQL*Plus did not run");
        check(count_expected_lines(entries, "=Database objects created.", places) ==
                  (script_failed ? 0 : 1),
              "the database stage's entry");
        check(count_expected_lines(console, "*auto_install.sql and database objects", places) ==
                  (script_failed ? 1 : 0),
              "the database stage in the summary");
    }
}
