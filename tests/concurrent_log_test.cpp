// Two installs started at once from one working folder share install.log:
// every entry of both must be in it, whole, each on a line of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "tests/prompts.h"
#include "tests/test_support.h"

namespace {

constexpr int FILES_PER_RUN = 1500;

class ConcurrentRuns : public ScratchDrives {
  protected:
    void SetUp() override {
        drive_c = make_drive_c();
        make_folders(drive_c + "/A1");
        make_folders(drive_c + "/A2");
        dist = make_distribution(scratch.path());
        make_folders(dist + "/extra");
        int files = static_cast<int>(list_files_recursively(dist).size());
        for (int i = files; i < FILES_PER_RUN; ++i)
            write_file(dist + "/extra/file-" + std::to_string(i) + ".txt", std::to_string(i));
        ASSERT_EQ(list_files_recursively(dist).size(), static_cast<std::size_t>(FILES_PER_RUN));
        data_files = list_files_recursively(dist + "/data").size();
        sqlplus_folder = make_fake_sqlplus();
    }

    // One install into the folder (A1 or A2) from the working folder.
    ProgramRun install(const std::string& folder, const std::string& work) {
        std::string answers = answers_with({{"app installation", std::string("C:\\") + folder},
                                            {"data directory", std::string("C:\\") + folder}}) +
                              "\n";
        return run_program({dist + "/setup"}, answers, work, {path_starting_with(sqlplus_folder)});
    }

    std::string drive_c, dist, sqlplus_folder;
    std::size_t data_files = 0;
};

TEST_F(ConcurrentRuns, EveryEntryOfBothRunsIsWholeInOneLog) {
    // Each run alone, for the entries it writes.
    std::vector<std::string> expected;
    for (const char* folder : {"A1", "A2"}) {
        std::string work = scratch / (std::string("alone-") + folder);
        make_folders(work);
        ProgramRun run = install(folder, work);
        ASSERT_EQ(run.exit_status, 0) << run.output;
        std::vector<std::string> lines = log_lines(read_file(work + "/install.log"));
        expected.insert(expected.end(), lines.begin(), lines.end());
    }

    // Both at once, from one working folder.
    make_folders(scratch / "work");
    ProgramRun first, second;
    std::thread one([&] { first = install("A1", scratch / "work"); });
    std::thread two([&] { second = install("A2", scratch / "work"); });
    one.join();
    two.join();
    EXPECT_EQ(first.exit_status, 0) << first.output;
    EXPECT_EQ(second.exit_status, 0) << second.output;

    std::vector<std::string> lines = log_lines(read_file(scratch / "work/install.log"));
    for (const std::string& line : lines) EXPECT_NE(line.rfind("<torn>", 0), 0u) << line;
    std::size_t copied[2] = {0, 0};
    int switches = 0;  // from one run's entries to the other's
    int previous = -1;
    for (const std::string& line : lines) {
        if (line.rfind("Copied file: ", 0) != 0) continue;
        int run = line.find(" -> C:\\A1\\") != std::string::npos ? 0 : 1;
        ++copied[run];
        if (previous >= 0 && previous != run) ++switches;
        previous = run;
    }
    EXPECT_EQ(copied[0], FILES_PER_RUN + data_files);
    EXPECT_EQ(copied[1], FILES_PER_RUN + data_files);

    // Nothing lost, nothing torn, nothing added: the same entries as the
    // two runs wrote alone.
    std::sort(expected.begin(), expected.end());
    std::sort(lines.begin(), lines.end());
    EXPECT_TRUE(lines == expected) << lines.size() << " lines, " << expected.size() << " expected";
    if (switches < 2) GTEST_SKIP() << "the two runs did not overlap; nothing shared was tested";
}

}  // namespace
