// Faults that are hard to cause for real (a full disk, a read-only drive, a
// locked file, a folder that vanishes, an install.log that cannot be
// written), made by the POSIX backend's fault seam. Each run is the whole
// setup in a child of the test process, with the seam set there, its
// console output and install.log read back.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/statvfs.h>

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
#include "tests/prompts.h"
#include "tests/test_support.h"

namespace {

using platform::fault_injection::inject_fault;
using platform::fault_injection::set_free_space;

const std::string APP = "C:\\XEPDB1\\QUARNDEL";
const std::string LOG_OPEN_ERROR = "Error: Could not open install.log for writing.";
const std::string LOG_WRITE_ERROR = "Error: Could not write to install.log.";

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
                       const std::string& answers = default_answers() + "\n") {
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

    std::string sqlplus_folder;
    std::size_t dist_files = 0, data_files = 0;
};

TEST_F(FaultRun, UpgradeThatCannotRewriteSetEnvSqlRunsNoSqlplus) {
    ASSERT_EQ(install([] {}).exit_status, 0);
    // set_env.sql is the first file opened for writing; the old one stays.
    ProgramRun run = install([] { inject_fault("open_text", 1, 1, 5); });
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
        default_answers() + "\n", scratch / "work", {path_starting_with(sqlplus_folder)});
    EXPECT_EQ(vanished.exit_status, 1) << vanished.output;
    EXPECT_NE(vanished.output.find("Error: SQL*Plus was not started because " + APP +
                                   "\\install\\seed_data.sql was not copied by this run: the "
                                   "distribution lacks it or it could not be copied.\n"),
              std::string::npos)
        << vanished.output;
    EXPECT_EQ(count_occurrences(log(), "Executing: "), 1u) << "only the first run's";
    EXPECT_EQ(read_file(old_copy), "PROMPT OLD-VERSION-1.0\r\n");
}

// The refusal of a home whose drive has the free bytes, for the files of
// the folders, each file taking whole allocation units of the file system
// the tests run on: MB of 1,048,576 bytes, the need rounded up, the free down.
unsigned long long rounded_bytes(const std::vector<std::string>& folders) {
    struct statvfs volume;
    EXPECT_EQ(statvfs(folders[0].c_str(), &volume), 0);
    const unsigned long long unit = volume.f_frsize;
    unsigned long long bytes = 0;
    for (const std::string& folder : folders)
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
            if (entry.is_regular_file()) bytes += (entry.file_size() + unit - 1) / unit * unit;
    return bytes;
}

std::string no_room(const std::string& home, const std::vector<std::string>& folders,
                    unsigned long long free) {
    const unsigned long long bytes = rounded_bytes(folders);
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
    ProgramRun run = install(
        [] { set_free_space("c:\\", 1100000); }, "work",
        answers_with({{"app installation", "\nD:\\"}, {"data directory", "\nD:\\"}}) + "\n");
    EXPECT_EQ(run.exit_status, 0) << run.output;
    EXPECT_NE(run.output.find("'C:\\'): " + no_room("APP_HOME", {dist}, 1100000) + "\nSpecify"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("'C:\\'): " + no_room("DATA_HOME", {dist + "/data"}, 1100000) +
                              "SETUP PARAMETERS"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(count_occurrences(run.output, "ERROR: "), 2u);
    EXPECT_TRUE(file_exists(scratch / "d/XEPDB1/QUARNDEL/data/big.bin"));
    EXPECT_FALSE(file_exists(drive_c + "/XEPDB1"));
}

// DATA_HOME inside APP_HOME, but not its data folder, takes a second copy of
// the data on the same drive: a drive with room for one copy is refused.
TEST_F(FaultRun, DataHomeInsideAppHomeNeedsRoomForBothCopies) {
    make_folders(scratch / "d/XEPDB1/QUARNDEL/x");
    map_drive('D', scratch / "d");
    write_file(dist + "/data/big.bin", std::string(2 * 1048576, 'x'));
    static unsigned long long free;
    free = rounded_bytes({dist}) + 1048576;
    ProgramRun run = install([] { set_free_space("D:\\", free); }, "work",
                             answers_with({{"app installation", "D:\\"},
                                           {"data directory", "D:\\XEPDB1\\QUARNDEL\\x\nD:\\"}}) +
                                 "\n");
    EXPECT_EQ(run.exit_status, 0) << run.output;
    EXPECT_NE(run.output.find("'C:\\'): " + no_room("DATA_HOME", {dist, dist + "/data"}, free) +
                              "SETUP PARAMETERS"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(count_occurrences(run.output, "ERROR: "), 1u);
}

// Files of an earlier install count as room, since the copy replaces them;
// a free space that cannot be learned refuses nothing.
TEST_F(FaultRun, EarlierInstallMakesRoomAndUnknownFreeSpaceRefusesNothing) {
    write_file(dist + "/data/big.bin", std::string(3 * 1048576, 'x'));
    auto two_mb = [] { set_free_space("C:\\", 2 * 1048576); };
    ProgramRun refused = install(two_mb, "work", "\n\n\n\n\n");
    EXPECT_EQ(refused.exit_status, 255);
    EXPECT_NE(refused.output.find(no_room("APP_HOME", {dist}, 2 * 1048576)), std::string::npos)
        << refused.output;
    ProgramRun unknown = install([] {
        set_free_space("C:\\", 0);
        inject_fault("statvfs", 1, 0, 5);
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

// A fault that could never fire is refused, not left to pass unseen.
TEST(FaultSeam, ARowTheBackendLacksIsRefused) {
    EXPECT_DEATH(inject_fault("CreateFileA", 1, 0, 5), "cannot fail the system call row");
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

// The whole-run cases both backends meet alike (a full disk, a read-only
// target or file, a vanished source, an unwritable log, lost entries); the
// Win32 backend's test exe runs the same table under Wine.
class WholeRunFaults : public FaultRun, public ::testing::WithParamInterface<WholeRunFault> {};

TEST_P(WholeRunFaults, OnThePosixBackend) {
    const WholeRunFault& fault = GetParam();
    // A clean run first, in a folder of its own, for the log's counts.
    make_folders(scratch / "clean");
    ASSERT_EQ(install([] {}, "clean").exit_status, 0);
    const auto [clean_lines, clean_entries] =
        count_log_lines(read_file(scratch / "clean/install.log"));
    std::filesystem::remove_all(drive_c + "/XEPDB1");
    const unsigned long measured = folders_in(dist);  // the start-up measure reads each folder once
    ProgramRun run = install([&fault, measured] {
        for (const InjectedFault& f : fault.faults)
            inject_fault(f.posix_row, f.first + (f.after_measure ? measured : 0), f.count, f.code);
    });
    const bool has_log = file_exists(scratch / "work/install.log");
    const std::string text = has_log ? log() : "";
    const RunPlaces places{APP, windows_path(dist), static_cast<int>(dist_files),
                           static_cast<int>(data_files), clean_lines, clean_entries};
    check_whole_run(
        fault, run.exit_status, run.output, has_log ? &text : nullptr, places,
        [](bool ok, const std::string& what) { EXPECT_TRUE(ok) << what; },
        [this](const std::string& windows) { return file_exists(on_drive(windows)); });
    if (HasFailure()) std::printf("%s\n", run.output.c_str());
}

INSTANTIATE_TEST_SUITE_P(Shared, WholeRunFaults, ::testing::ValuesIn(whole_run_faults()),
                         [](const ::testing::TestParamInfo<WholeRunFault>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
