// Faults that are hard to cause for real (a full disk, a read-only drive, a
// locked file, a folder that vanishes, an install.log that cannot be
// written), made by the POSIX backend's fault seam. Each run is the whole
// setup in a child of the test process, with the seam set there, its
// console output and install.log read back.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "deploy/copy_stage.h"
#include "fault_injection.h"
#include "scripts/database_stage.h"
#include "scripts/generate_set_env_sql.h"
#include "setup/log_event.h"
#include "setup/run_setup.h"
#include "tests/fault_cases.h"
#include "tests/test_support.h"

namespace {

using platform::fault_injection::inject_fault;
using platform::fault_injection::Operation;
using platform::fault_injection::set_free_space;

const std::string APP = "C:\\XEPDB1\\QUARNDEL";
const std::string ALL_STAGES =
    "APP_HOME and DATA_HOME copy, set_env.sql, set_env.bat, auto_install.sql and database "
    "objects";
const char* const SCRIPTS_NOT_WRITTEN[] = {
    "Error: SQL script set_env.sql was not written.",
    "Error: Script set_env.bat was not written.",
    "Error: SQL script auto_install.sql was not written.",
};
const std::string LOG_OPEN_ERROR = "Error: Could not open install.log for writing.";
const std::string LOG_WRITE_ERROR = "Error: Could not write to install.log.";

// The entries before the summary: every non-empty line before it.
std::size_t entries_before_summary(const std::string& log) {
    std::size_t entries = 0;
    for (const std::string& line : log_lines(log)) {
        if (line == "INSTALLATION SUMMARY:") break;
        if (!line.empty()) ++entries;
    }
    return entries;
}

class FaultRun : public ScratchInstall {
  protected:
    void SetUp() override {
        ScratchInstall::SetUp();
        // The setup runs in the test's child: the program's own file is
        // only copied with the rest, so an empty one will do.
        write_file(dist + "/setup", "");
        dist_files = list_files_recursively(dist).size();
        data_files = list_files_recursively(dist + "/data").size();
        sqlplus_folder = make_fake_sqlplus();
    }

    // The whole setup with default answers and Y, the faults set first.
    ProgramRun install(const std::function<void()>& faults, const std::string& work_folder = "work",
                       const std::string& answers = "\n\n\n\n\n\nY\n\n") {
        std::string module_path = windows_path(dist) + "\\setup";
        auto body = [&] {
            platform::fault_injection::reset_faults();
            platform::fault_injection::set_module_path(module_path.c_str());
            faults();
            return run_setup();
        };
        return run_in_child(body, answers, scratch / work_folder,
                            {path_starting_with(sqlplus_folder)});
    }

    std::string log() {
        return read_file(scratch / "work/install.log");
    }

    // The host path of a path on drive C:.
    std::string on_drive(const std::string& windows) {
        std::string host = drive_c + "/" + windows.substr(3);
        for (char& c : host)
            if (c == '\\') c = '/';
        return host;
    }

    // The destinations of the "Error copying file" entries in the log.
    std::vector<std::string> failed_destinations(const std::string& text) {
        std::vector<std::string> destinations;
        for (const std::string& line : log_lines(text)) {
            if (line.rfind("Error copying file: ", 0) != 0) continue;
            destinations.push_back(line.substr(line.find(" -> ") + 4));
        }
        return destinations;
    }

    // Checks a run in which exactly one file copy of APP_HOME failed.
    void expect_one_failed_copy(const ProgramRun& run) {
        EXPECT_EQ(run.exit_status, 1) << run.output;
        std::string text = log();
        std::vector<std::string> failed = failed_destinations(text);
        ASSERT_EQ(failed.size(), 1u) << text;
        std::string line = text.substr(text.find("Error copying file: "));
        line = line.substr(0, line.find("\r\n"));
        EXPECT_EQ(count_occurrences(run.output, "\n" + line + "\n"), 1u) << run.output;
        EXPECT_EQ(count_occurrences(run.output, "Error copying file: "), 1u);
        EXPECT_EQ(failed[0].rfind(APP + "\\", 0), 0u) << failed[0];
        EXPECT_FALSE(file_exists(on_drive(failed[0]))) << failed[0];
        EXPECT_EQ(count_occurrences(text, "Copied file: "), dist_files + data_files - 1);
        EXPECT_NE(run.output.find("Error: APP_HOME was not completely created: 1 errors. See "
                                  "install.log for details.\n"),
                  std::string::npos)
            << run.output;
        EXPECT_NE(run.output.find("DATA_HOME created.\n"), std::string::npos);
        // A script of the distribution not brought keeps SQL*Plus from running;
        // the other later stages all ran.
        bool script = failed[0].rfind(APP + "\\install\\", 0) == 0 ||
                      failed[0].rfind(APP + "\\config\\", 0) == 0;
        EXPECT_EQ(run.output.find("Executing: ") == std::string::npos, script);
        for (const char* done :
             {"SQL script set_env.sql created.", "Script set_env.bat created.",
              "SQL script auto_install.sql created.", "Shortcut created on Desktop: QUARNDEL.lnk"})
            EXPECT_NE(text.find(std::string("\r\n") + done + "\r\n"), std::string::npos) << done;
        EXPECT_EQ(text.find("\r\nDatabase objects created.\r\n") == std::string::npos, script);
        EXPECT_NE(
            run.output.find("\nThese stages failed: APP_HOME and DATA_HOME copy" +
                            std::string(script ? ", auto_install.sql and database objects" : "") +
                            ". See install.log for details.\n"),
            std::string::npos)
            << run.output;
        EXPECT_NE(text.find("\r\nInstallation completed with errors.\r\n"), std::string::npos);
    }

    std::string sqlplus_folder;
    std::size_t dist_files = 0, data_files = 0;
};

TEST_F(FaultRun, DiskFullDuringTheCopy) {
    // The fourth file copy meets a full disk, and so does every later copy
    // and every script written after it.
    ProgramRun run = install([] {
        inject_fault(Operation::copy_file, 4, 0, 112);
        inject_fault(Operation::write_file, 1, 0, 112);
    });
    EXPECT_EQ(run.exit_status, 1) << run.output;
    std::string text = log();
    EXPECT_EQ(count_occurrences(text, "\r\nCopied file: "), 3u);
    std::size_t failures = dist_files + data_files - 3;
    EXPECT_EQ(count_occurrences(text, "\r\nError copying file: "), failures);
    EXPECT_EQ(count_occurrences(run.output, "\nError copying file: "), failures);
    for (const std::string& destination : failed_destinations(text))
        EXPECT_FALSE(file_exists(on_drive(destination))) << destination;
    EXPECT_NE(
        run.output.find("Error: APP_HOME was not completely created: " +
                        std::to_string(dist_files - 3) + " errors. See install.log for details.\n"),
        std::string::npos)
        << run.output;
    EXPECT_NE(
        run.output.find("Error: DATA_HOME was not completely created: " +
                        std::to_string(data_files) + " errors. See install.log for details.\n"),
        std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("APP_HOME created."), std::string::npos);

    // The scripts fail cleanly: reported, and no half-written file is left.
    EXPECT_NE(run.output.find("Error: Could not write " + APP +
                              "\\config\\set_env.sql completely (is the disk full?). The file "
                              "was removed.\n"),
              std::string::npos)
        << run.output;
    for (const char* not_written : SCRIPTS_NOT_WRITTEN) {
        EXPECT_NE(run.output.find(std::string(not_written) + "\n"), std::string::npos);
        EXPECT_NE(text.find(std::string("\r\n") + not_written + "\r\n"), std::string::npos);
    }
    EXPECT_FALSE(file_exists(on_drive(APP + "\\config\\set_env.sql")));
    EXPECT_FALSE(file_exists(on_drive(APP + "\\config\\set_env.bat")));
    EXPECT_FALSE(file_exists(on_drive(APP + "\\install\\auto_install.sql")));
    EXPECT_NE(run.output.find("\nThese stages failed: " + ALL_STAGES), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("Installation finished with errors. Press RETURN to exit."),
              std::string::npos);
    EXPECT_NE(text.find("\r\nInstallation completed with errors.\r\n"), std::string::npos);
}

TEST_F(FaultRun, ReadOnlyTarget) {
    // Nothing can be created or opened for writing on drive C:.
    ProgramRun run = install([] {
        inject_fault(Operation::create_directories, 1, 0, 5);
        inject_fault(Operation::open_file, 1, 0, 5);
    });
    EXPECT_EQ(run.exit_status, 1) << run.output;
    std::string text = log();
    for (const std::string& folder : {APP, APP + "\\data"}) {
        EXPECT_NE(
            run.output.find("Error: Could not create directory " + folder + " (Error Code: 5)\n"),
            std::string::npos)
            << run.output;
        EXPECT_NE(text.find("\r\nError: Could not create directory " + folder + "\r\n"),
                  std::string::npos);
    }
    EXPECT_NE(run.output.find("Error: APP_HOME was not completely created: 1 errors. See "
                              "install.log for details.\n"),
              std::string::npos);
    EXPECT_NE(run.output.find("Error: DATA_HOME was not completely created: 1 errors. See "
                              "install.log for details.\n"),
              std::string::npos);
    EXPECT_EQ(count_occurrences(text, "Copied file: "), 0u);
    EXPECT_EQ(count_occurrences(run.output, "Error: Cannot open file for writing!\n"), 3u);
    for (const char* not_written : SCRIPTS_NOT_WRITTEN)
        EXPECT_NE(text.find(std::string("\r\n") + not_written + "\r\n"), std::string::npos);
    EXPECT_NE(run.output.find("Error: SQL*Plus was not started because auto_install.sql is "
                              "missing."),
              std::string::npos);
    EXPECT_FALSE(file_exists(drive_c + "/XEPDB1"));
    EXPECT_NE(run.output.find("\nThese stages failed: " + ALL_STAGES), std::string::npos)
        << run.output;
    EXPECT_NE(text.find("\r\nInstallation completed with errors.\r\n"), std::string::npos);
}

TEST_F(FaultRun, ReadOnlyFileInTheTarget) {
    // The second file copy meets a read-only target file: only that file fails.
    expect_one_failed_copy(install([] { inject_fault(Operation::copy_file, 2, 1, 5); }));
}

TEST_F(FaultRun, UpgradeThatCannotRewriteSetEnvSqlRunsNoSqlplus) {
    ASSERT_EQ(install([] {}).exit_status, 0);
    // set_env.sql is the first file opened for writing; the old one stays.
    ProgramRun run = install([] { inject_fault(Operation::open_file, 1, 1, 5); });
    EXPECT_EQ(run.exit_status, 1) << run.output;
    const std::string refusal = "Error: SQL*Plus was not started because " + APP +
                                "\\config\\set_env.sql was not written by this run: it is "
                                "missing or out of date.";
    EXPECT_NE(run.output.find(refusal + "\n"), std::string::npos) << run.output;
    std::string text = log();
    EXPECT_EQ(count_occurrences(text, "\r\n" + refusal + "\r\n"), 1u);
    EXPECT_EQ(count_occurrences(text, "Executing: "), 1u) << "only the first run's";
}

// A script the distribution lacks, with an older install's copy in
// APP_HOME: refused before the questions; and one that vanished after that
// check is not run by SQL*Plus either.
TEST_F(FaultRun, MissingScriptWithAnOldCopyInstalledRunsNoSqlplus) {
    ASSERT_EQ(install([] {}).exit_status, 0);
    const std::string old_copy = on_drive(APP + "\\install\\seed_data.sql");
    write_file(old_copy, "PROMPT OLD-VERSION-1.0\r\n");
    std::remove((dist + "/install/seed_data.sql").c_str());
    ProgramRun refused = install([] {});
    EXPECT_EQ(refused.exit_status, 255) << refused.output;
    EXPECT_NE(refused.output.find(" lacks these files: install\\seed_data.sql.\n"),
              std::string::npos)
        << refused.output;
    EXPECT_EQ(refused.output.find("Enter the"), std::string::npos);

    write_file(dist + "/install/seed_data.sql", "PROMPT seed\r\n");
    std::string vanishing = dist + "/install/seed_data.sql";
    ProgramRun vanished = run_in_child(
        [&] {
            platform::fault_injection::reset_faults();
            std::string module_path = windows_path(dist) + "\\setup";
            platform::fault_injection::set_module_path(module_path.c_str());
            SetupParameters p;
            if (run_dialogue(p) != Confirmation::yes) return 255;
            std::remove(vanishing.c_str());
            run_copy_stage(p);
            run_set_env_sql_stage(p);
            return run_database_stage(p) ? 0 : 1;
        },
        "\n\n\n\n\n\nY\n\n", scratch / "work", {path_starting_with(sqlplus_folder)});
    EXPECT_EQ(vanished.exit_status, 1) << vanished.output;
    EXPECT_NE(vanished.output.find("Error: SQL*Plus was not started because " + APP +
                                   "\\install\\seed_data.sql was not copied by this run: the "
                                   "distribution lacks it or it could not be copied.\n"),
              std::string::npos)
        << vanished.output;
    EXPECT_EQ(count_occurrences(log(), "Executing: "), 1u) << "only the first run's";
    EXPECT_EQ(read_file(old_copy), "PROMPT OLD-VERSION-1.0\r\n");
}

TEST_F(FaultRun, SharingViolation) {
    // Another program holds the fifth file open: only that file fails.
    expect_one_failed_copy(install([] { inject_fault(Operation::copy_file, 5, 1, 32); }));
}

// The refusal of a home whose drive has the free bytes, for the files of
// the folder: MB of 1,048,576 bytes, the need rounded up, the free down.
std::string no_room(const std::string& home, const std::string& folder, unsigned long long free) {
    unsigned long long bytes = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) bytes += entry.file_size();
    auto mb = [](unsigned long long tenths) {
        return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB";
    };
    return "\nERROR: Not enough free space on the drive of " + home + ": the copy needs " +
           mb((bytes * 10 + 1048575) / 1048576) + ", " + mb(free * 10 / 1048576) +
           " are free. Please enter a valid path: ";
}

// Drive C: lacks room for the distribution, D: has plenty: C: is refused at
// both prompts, and everything goes to D:.
TEST_F(FaultRun, LowFreeSpaceOnOneDriveOnly) {
    make_folders(scratch / "d");
    map_drive('D', scratch / "d");
    write_file(dist + "/data/big.bin", std::string(3 * 1048576 + 300000, 'x'));
    ProgramRun run =
        install([] { set_free_space("c:\\", 1100000); }, "work", "\n\n\n\n\nD:\\\n\nD:\\\nY\n\n");
    EXPECT_EQ(run.exit_status, 0) << run.output;
    EXPECT_NE(run.output.find("'C:\\'): " + no_room("APP_HOME", dist, 1100000) + "\nSpecify"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("'C:\\'): " + no_room("DATA_HOME", dist + "/data", 1100000) +
                              "SETUP PARAMETERS"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(count_occurrences(run.output, "ERROR: "), 2u);
    EXPECT_TRUE(file_exists(scratch / "d/XEPDB1/QUARNDEL/data/big.bin"));
    EXPECT_FALSE(file_exists(drive_c + "/XEPDB1"));
}

// Files of an earlier install count as room, since the copy replaces them;
// a free space that cannot be learned refuses nothing.
TEST_F(FaultRun, EarlierInstallMakesRoomAndUnknownFreeSpaceRefusesNothing) {
    write_file(dist + "/data/big.bin", std::string(3 * 1048576, 'x'));
    auto two_mb = [] { set_free_space("C:\\", 2 * 1048576); };
    ProgramRun refused = install(two_mb, "work", "\n\n\n\n\n");
    EXPECT_EQ(refused.exit_status, 255);
    EXPECT_NE(refused.output.find(no_room("APP_HOME", dist, 2 * 1048576)), std::string::npos)
        << refused.output;
    ProgramRun unknown = install([] {
        set_free_space("C:\\", 0);
        inject_fault(Operation::free_space, 1, 0, 5);
    });
    EXPECT_EQ(unknown.exit_status, 0) << unknown.output;
    ProgramRun upgrade = install(two_mb);
    EXPECT_EQ(upgrade.exit_status, 0) << upgrade.output;
    EXPECT_EQ(count_occurrences(unknown.output + upgrade.output, "ERROR: "), 0u);
}

// The folder and every folder below it.
unsigned long folders_in(const std::string& folder) {
    unsigned long count = 1;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_directory()) ++count;
    }
    return count;
}

TEST_F(FaultRun, VanishedSourceFolder) {
    // The distribution folder vanishes after its files were counted: every
    // later enumeration fails, so neither copy takes a file. Before the
    // copy, the start measured the tree and the data folder, one
    // enumeration per folder.
    unsigned long measured = folders_in(dist) + folders_in(dist + "/data");
    ProgramRun run =
        install([measured] { inject_fault(Operation::find_first_entry, measured + 2, 0, 3); });
    EXPECT_EQ(run.exit_status, 1) << run.output;
    std::string text = log();
    for (const std::string& folder : {windows_path(dist), windows_path(dist) + "\\data"}) {
        EXPECT_EQ(count_occurrences(run.output,
                                    "Error: Could not open source directory " + folder + "\n"),
                  1u)
            << run.output;
        EXPECT_EQ(count_occurrences(
                      text, "\r\nError: Could not open source directory " + folder + "\r\n"),
                  1u);
    }
    EXPECT_NE(run.output.find("Error: APP_HOME was not completely created: 1 errors. See "
                              "install.log for details.\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("Error: DATA_HOME was not completely created: 1 errors. See "
                              "install.log for details.\n"),
              std::string::npos);
    EXPECT_EQ(count_occurrences(text, "Copied file: "), 0u);
    // Without the config folder no script can be written.
    EXPECT_EQ(count_occurrences(run.output, "Error: Cannot open file for writing!\n"), 3u);
    EXPECT_NE(run.output.find("\nThese stages failed: " + ALL_STAGES), std::string::npos);
}

TEST_F(FaultRun, UnwritableLog) {
    make_folders(scratch / "reference");
    ProgramRun reference = install([] {}, "reference");
    ASSERT_EQ(reference.exit_status, 0) << reference.output;
    std::size_t entries = entries_before_summary(read_file(scratch / "reference/install.log"));
    ASSERT_GT(entries, dist_files);

    ProgramRun run = install([] { inject_fault(Operation::append_open, 1, 0, 5); });
    EXPECT_EQ(run.exit_status, 1) << run.output;
    EXPECT_FALSE(file_exists(scratch / "work/install.log"));
    // One message for every entry, each ending its line (one may follow a
    // prompt whose answer came from a file), and the summary counts those
    // lost; it cannot send the operator to the log.
    std::size_t summary = run.output.find("\nINSTALLATION SUMMARY:\n");
    ASSERT_NE(summary, std::string::npos) << run.output;
    EXPECT_EQ(count_occurrences(run.output.substr(0, summary), LOG_OPEN_ERROR + "\n"), entries);
    EXPECT_EQ(count_occurrences(run.output, LOG_OPEN_ERROR),
              count_occurrences(run.output, LOG_OPEN_ERROR + "\n"));
    // The count takes in every entry lost, the summary's and the closing one too.
    std::size_t lost = count_occurrences(run.output, LOG_OPEN_ERROR);
    EXPECT_EQ(lost, entries + 10);
    EXPECT_NE(run.output.find("\nThese stages failed: install.log (" + std::to_string(lost) +
                              " entries lost). See the messages above for details: install.log "
                              "could not be written.\n"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("See install.log"), std::string::npos);
    EXPECT_NE(run.output.find("APP_HOME created.\n"), std::string::npos);
    EXPECT_NE(run.output.find("DATA_HOME created.\n"), std::string::npos);
    // The other stages did all their work.
    for (const char* done :
         {"SQL script set_env.sql created.\n", "Script set_env.bat created.\n",
          "SQL Script auto_install.sql created.\n", "Shortcut created on Desktop: QUARNDEL.lnk\n"})
        EXPECT_NE(run.output.find(done), std::string::npos) << done;
    EXPECT_EQ(run.output.find("Error: SQL*Plus"), std::string::npos) << run.output;
    EXPECT_EQ(list_files_recursively(on_drive(APP)).size(), dist_files + 3);
    EXPECT_NE(run.output.find("Installation finished with errors. Press RETURN to exit."),
              std::string::npos);
}

TEST_F(FaultRun, AFolderNamedInstallLogIsLeftAlone) {
    // No seam: the log's own name is taken by a folder in the working folder.
    make_folders(scratch / "work/install.log");
    ProgramRun run = install([] {});
    EXPECT_EQ(run.exit_status, 1) << run.output;
    EXPECT_NE(run.output.find(LOG_OPEN_ERROR + "\n"), std::string::npos);
    EXPECT_NE(run.output.find("\nThese stages failed: install.log ("), std::string::npos);
    EXPECT_TRUE(list_files_recursively(scratch / "work/install.log").empty());
    EXPECT_TRUE(std::filesystem::is_directory(scratch / "work/install.log"));
}

TEST_F(FaultRun, LogEntriesLostDuringTheCopy) {
    // Three entries in the middle of the APP_HOME copy cannot be written,
    // and one file cannot be copied later in it.
    make_folders(scratch / "reference");
    ProgramRun reference = install([] {}, "reference");
    ASSERT_EQ(reference.exit_status, 0) << reference.output;
    std::vector<std::string> complete = log_lines(read_file(scratch / "reference/install.log"));

    ProgramRun run = install([] {
        inject_fault(Operation::append_write, 15, 3, 112);
        inject_fault(Operation::copy_file, 6, 1, 32);
    });
    EXPECT_EQ(run.exit_status, 1) << run.output;
    EXPECT_EQ(count_occurrences(run.output, "\n" + LOG_WRITE_ERROR + "\n"), 3u) << run.output;
    std::vector<std::string> written = log_lines(log());
    // The failed copy's entry takes a copied file's place; the summary adds one.
    EXPECT_EQ(written.size(), complete.size() - 3 + 1);
    for (const std::string& line : written) EXPECT_EQ(line.find('<'), std::string::npos) << line;
    EXPECT_NE(run.output.find("Error: APP_HOME was not completely created: 1 errors. See the "
                              "messages above for details: install.log could not be written.\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("\nThese stages failed: APP_HOME and DATA_HOME copy, install.log "
                              "(3 entries lost). See the messages above for details: install.log "
                              "could not be written.\n"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("See install.log"), std::string::npos);
    EXPECT_NE(log().find("\r\nThese stages failed: APP_HOME and DATA_HOME copy, install.log (3 "
                         "entries lost). Entries are missing from this log.\r\n"),
              std::string::npos);
}

TEST(LogOnAFullDisk, APartOfAnEntryIsTakenBack) {
    // The file size limit stands for a full disk: the write is cut short
    // after a few bytes, as on a drive with a few bytes left. (The limit
    // holds for the console output file too, which stays below it.)
    ScratchFolder scratch;
    const std::string first_entry = "first entry " + std::string(60, 'x');
    auto body = [&first_entry] {
        signal(SIGXFSZ, SIG_IGN);
        bool first = log_event("%s", first_entry.c_str());
        struct rlimit limit;
        getrlimit(RLIMIT_FSIZE, &limit);
        struct rlimit small = limit;
        small.rlim_cur = first_entry.size() + 2 + 10;
        setrlimit(RLIMIT_FSIZE, &small);
        bool second = log_event("a second entry that does not fit");
        setrlimit(RLIMIT_FSIZE, &limit);
        bool third = log_event("third entry");
        return (first ? 1 : 0) | (second ? 2 : 0) | (third ? 4 : 0) |
               (count_lost_log_entries() << 4);
    };
    ProgramRun run = run_in_child(body, "", scratch.path());
    EXPECT_EQ(run.exit_status, 1 | 4 | (1 << 4));
    EXPECT_EQ(run.output, LOG_WRITE_ERROR + "\n");
    EXPECT_EQ(read_file(scratch / "install.log"), first_entry + "\r\nthird entry\r\n");
}

// The cases both backends meet alike; the Win32 backend's test exe runs
// the same table under Wine.
class WholeRunFaults : public FaultRun, public ::testing::WithParamInterface<WholeRunFault> {};

TEST_P(WholeRunFaults, OnThePosixBackend) {
    const WholeRunFault& fault = GetParam();
    const unsigned long measured = folders_in(dist) + folders_in(dist + "/data");
    ProgramRun run = install([&fault, measured] {
        for (const InjectedFault& f : fault.faults)
            inject_fault(f.operation, f.first + (f.after_measure ? measured : 0), f.count, f.code);
    });
    const bool has_log = file_exists(scratch / "work/install.log");
    const std::string text = has_log ? log() : "";
    check_whole_run(fault, run.exit_status, run.output, has_log ? &text : nullptr, APP,
                    windows_path(dist),
                    [](bool ok, const std::string& what) { EXPECT_TRUE(ok) << what; });
    if (HasFailure()) std::printf("%s\n", run.output.c_str());
}

INSTANTIATE_TEST_SUITE_P(Shared, WholeRunFaults, ::testing::ValuesIn(whole_run_faults()),
                         [](const ::testing::TestParamInfo<WholeRunFault>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
