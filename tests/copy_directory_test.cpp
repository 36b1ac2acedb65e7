// The tree copy on a scratch drive: what arrives, what is logged, and the
// faults it must survive without losing or inventing data.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "deploy/copy_directory.h"
#include "deploy/copy_stage.h"
#include "setup/home_folders.h"
#include "setup/measure_tree.h"
#include "setup/setup_parameters.h"
#include "setup/walk_folders.h"
#include "tests/test_support.h"

namespace {

int count_lines_starting(const std::string& text, const std::string& start) {
    int count = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        if (text.compare(at, start.size(), start) == 0) ++count;
        at = end + 1;
    }
    return count;
}

class TreeCopy : public ScratchDrives {
  protected:
    void SetUp() override {
        make_folders(scratch / "c/src/s");
        map_drive('C', scratch / "c");
        work_in(scratch.path());
        for (const char* name : {"a", "b", "c", "s/x", "s/y"}) {
            write_file(scratch / ("c/src/" + std::string(name)),
                       std::string("contents of ") + name);
        }
    }
    std::string log() {
        return read_file(scratch / "install.log");
    }
};

TEST_F(TreeCopy, CopiesEveryFileAndLogsEachOnce) {
    EXPECT_EQ(copy_directory("C:\\src", "C:\\dst\\deep", -1), 0);
    EXPECT_EQ(list_files_recursively(scratch / "c/dst/deep"),
              (std::vector<std::string>{"a", "b", "c", "s/x", "s/y"}));
    for (const char* name : {"a", "b", "c", "s/x", "s/y"}) {
        EXPECT_EQ(read_file(scratch / ("c/dst/deep/" + std::string(name))),
                  read_file(scratch / ("c/src/" + std::string(name))));
    }
    std::string entries = log();
    EXPECT_EQ(count_lines_starting(entries, "Copied file: "), 5);
    EXPECT_NE(entries.find("Copied file: C:\\src\\s\\x -> C:\\dst\\deep\\s\\x\r\n"),
              std::string::npos);
}

TEST_F(TreeCopy, ControlCharactersInNamesAreNeverLoggedRaw) {
    write_file(scratch / "c/src/s/e\x1b[2J\x7f", "escape");
    EXPECT_EQ(copy_directory("C:\\src", "C:\\dst", -1), 0);
    EXPECT_EQ(read_file(scratch / "c/dst/s/e\x1b[2J\x7f"), "escape");
    EXPECT_NE(log().find("Copied file: C:\\src\\s\\e<U+001B>[2J<U+007F> -> "
                         "C:\\dst\\s\\e<U+001B>[2J<U+007F>\r\n"),
              std::string::npos)
        << log();
    EXPECT_EQ(log().find('\x1b'), std::string::npos);
}

TEST_F(TreeCopy, ExistingDestinationIsReplacedAndFoldersOnlyLevelsWork) {
    make_folders(scratch / "c/dst/s");
    write_file(scratch / "c/dst/a", "old and longer than the new one");
    EXPECT_EQ(copy_directory("C:\\src", "C:\\dst", -1), 0);
    EXPECT_EQ(read_file(scratch / "c/dst/a"), "contents of a");

    make_folders(scratch / "c/only/one/two");
    write_file(scratch / "c/only/one/two/leaf", "leaf");
    EXPECT_EQ(copy_directory("C:\\only", "C:\\only-copy", -1), 0);
    EXPECT_EQ(read_file(scratch / "c/only-copy/one/two/leaf"), "leaf");
}

TEST_F(TreeCopy, AFailedFileIsReportedAndTheOthersStillCopied) {
    make_folders(scratch / "c/dst");
    write_file(scratch / "c/dst/b", "read-only target");
    chmod((scratch / "c/dst/b").c_str(), 0444);
    EXPECT_EQ(copy_directory("C:\\src", "C:\\dst", -1), 1);
    EXPECT_EQ(read_file(scratch / "c/dst/b"), "read-only target");
    EXPECT_EQ(read_file(scratch / "c/dst/c"), "contents of c");
    EXPECT_EQ(read_file(scratch / "c/dst/s/y"), "contents of s/y");
    EXPECT_NE(log().find("Error copying file: C:\\src\\b -> C:\\dst\\b\r\n"), std::string::npos);
    EXPECT_EQ(count_lines_starting(log(), "Copied file: "), 4);
}

TEST_F(TreeCopy, RelativeDestinationStopsAtOnce) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(copy_directory("C:\\src", "relative\\dst", -1), 1);
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output, "Error: Could not create directory relative\\dst (Error Code: 161)\n");
    EXPECT_EQ(log(), "Error: Could not create directory relative\\dst\r\n");
}

TEST_F(TreeCopy, UnreadableSourceIsReported) {
    EXPECT_EQ(copy_directory("C:\\no-such-folder", "C:\\dst", -1), 1);
    EXPECT_EQ(log(), "Error: Could not open source directory C:\\no-such-folder\r\n");
}

TEST_F(TreeCopy, DestinationInsideTheSourceIsSkippedNotNested) {
    EXPECT_EQ(copy_directory("C:\\src", "C:\\src\\inner\\XEPDB1\\QUARNDEL", -1), 0);
    // Everything arrived once, and the destination was not copied into itself.
    EXPECT_EQ(list_files_recursively(scratch / "c/src/inner/XEPDB1/QUARNDEL"),
              (std::vector<std::string>{"a", "b", "c", "s/x", "s/y"}));
    EXPECT_NE(log().find("Skipped folder C:\\src\\inner\\XEPDB1\\QUARNDEL: it is the destination "
                         "of this copy.\r\n"),
              std::string::npos);
}

// Named through another drive, the destination's path does not lie in the
// source's; its folders above it still tell that it does.
TEST_F(TreeCopy, DestinationInsideTheSourceByAnotherDriveIsSkipped) {
    map_drive('D', scratch / "c/src");
    EXPECT_EQ(copy_directory("C:\\src", "D:\\inner\\XEPDB1", -1), 0);
    EXPECT_EQ(list_files_recursively(scratch / "c/src/inner/XEPDB1"),
              (std::vector<std::string>{"a", "b", "c", "s/x", "s/y"}));
    EXPECT_NE(log().find("Skipped folder C:\\src\\inner\\XEPDB1: it is the destination of this "
                         "copy.\r\n"),
              std::string::npos);
}

TEST_F(TreeCopy, DestinationEqualToSourceLeavesItIntact) {
    EXPECT_EQ(copy_directory("C:\\src", "C:\\src", -1), 5);
    for (const char* name : {"a", "b", "c", "s/x", "s/y"}) {
        EXPECT_EQ(read_file(scratch / ("c/src/" + std::string(name))),
                  std::string("contents of ") + name);
    }
    EXPECT_EQ(count_lines_starting(log(), "Error copying file: "), 5);
}

TEST_F(TreeCopy, PathsBeyondTheLimitAreErrorsNeverTruncatedNames) {
    std::string deep = "c/src";
    std::string name(124,
                     'n');  // the folder's path and pattern fit (256, 258), its file's does not
    deep += "/" + name + "/" + name;
    make_folders(scratch / deep);
    write_file(scratch / (deep + "/file"), "x");
    EXPECT_EQ(copy_directory("C:\\src", "C:\\dst", -1), 1);
    EXPECT_NE(log().find("Error: Path too long, not copied: C:\\src\\" + name + "\\" + name +
                         "\\file -> C:\\dst\\" + name + "\\" + name + "\\file\r\n"),
              std::string::npos)
        << log();
    // No file under a cut name exists anywhere in the destination.
    for (const std::string& file : list_files_recursively(scratch / "c/dst")) {
        EXPECT_TRUE(file.size() == 1 || file == "s/x" || file == "s/y") << file;
    }
}

TEST_F(TreeCopy, StageReportsErrorsInsteadOfCreated) {
    SetupParameters p;
    std::snprintf(p.SOURCE_DIR, sizeof p.SOURCE_DIR, "C:\\src");
    std::snprintf(p.SOURCE_DATA_DIR, sizeof p.SOURCE_DATA_DIR, "C:\\src\\data");
    std::snprintf(p.APP_HOME, sizeof p.APP_HOME, "C:\\app");
    std::snprintf(p.DATA_HOME, sizeof p.DATA_HOME, "C:\\app\\data");
    make_folders(scratch / "c/src/data");
    write_file(scratch / "c/src/data/ro.csv", "1");
    chmod((scratch / "c/src/data/ro.csv").c_str(), 0444);
    testing::internal::CaptureStdout();
    // The read-only data file arrives read-only in APP_HOME\data, which with
    // these answers is DATA_HOME: the second copy cannot replace it.
    EXPECT_FALSE(run_copy_stage(p));
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("APP_HOME created.\n\n"), std::string::npos);
    EXPECT_EQ(output.find("DATA_HOME created."), std::string::npos);
    EXPECT_NE(output.find("Error: DATA_HOME was not completely created: 1 errors. See install.log "
                          "for details.\n"),
              std::string::npos);
    EXPECT_NE(log().find("Error: DATA_HOME was not completely created: 1 errors.\r\n"),
              std::string::npos);
}

// Whatever the umask, the first folder the stage creates and every one below
// it get 0755, the new DATA_HOME and its tree 0777; a folder that was there
// before keeps its mode, and every file keeps the distribution's.
TEST_F(TreeCopy, StageSetsModesOnlyOnFoldersItCreates) {
    SetupParameters p;
    std::snprintf(p.SOURCE_DIR, sizeof p.SOURCE_DIR, "C:\\src");
    std::snprintf(p.SOURCE_DATA_DIR, sizeof p.SOURCE_DATA_DIR, "C:\\src\\s");
    std::snprintf(p.APP_HOME, sizeof p.APP_HOME, "C:\\old\\new\\app");
    std::snprintf(p.DATA_HOME, sizeof p.DATA_HOME, "C:\\old\\new\\app\\s");
    make_folders(scratch / "c/old");
    chmod((scratch / "c/old").c_str(), 0700);
    chmod((scratch / "c/src/a").c_str(), 0444);
    chmod((scratch / "c/src/b").c_str(), 0755);
    chmod((scratch / "c/src/c").c_str(), 0640);
    make_folders(scratch / "c/src/s/deeper");
    mode_t saved_umask = umask(0);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(run_copy_stage(p));
    testing::internal::GetCapturedStdout();
    umask(saved_umask);
    auto mode = [](const std::string& path) {
        struct stat status {};
        stat(path.c_str(), &status);
        return status.st_mode & 07777;
    };
    EXPECT_EQ(mode(scratch / "c/old"), 0700u);
    EXPECT_EQ(mode(scratch / "c/old/new"), 0755u);
    EXPECT_EQ(mode(scratch / "c/old/new/app"), 0755u);
    EXPECT_EQ(mode(scratch / "c/old/new/app/s"), 0777u);
    EXPECT_EQ(mode(scratch / "c/old/new/app/s/deeper"), 0777u);
    EXPECT_EQ(mode(scratch / "c/old/new/app/a"), 0444u);
    EXPECT_EQ(mode(scratch / "c/old/new/app/b"), 0755u);
    EXPECT_EQ(mode(scratch / "c/old/new/app/c"), 0640u);
    EXPECT_EQ(mode(scratch / "c/old/new/app/s/x"), 0644u);
}

// The measure counts the names below the root and the backslashes between
// them, over files and folders alike, and adds up the files' sizes.
TEST_F(TreeCopy, MeasureFindsTheLongestPathBelowTheRoot) {
    std::size_t longest = 99;
    TreeSize bytes;
    bytes.bytes = 99;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(measure_tree("C:\\src", &longest, &bytes));
    EXPECT_EQ(longest, 3u);                     // s\x
    EXPECT_EQ(bytes.bytes, 3 * 13u + 2 * 15u);  // "contents of a", "contents of s/x"
    // On a volume each file takes whole allocation units.
    EXPECT_EQ(room_on_volume(bytes, 1), bytes.bytes);
    EXPECT_EQ(room_on_volume(bytes, 4096), 5 * 4096u);
    EXPECT_EQ(room_on_volume(bytes, 1024 * 1024), 5 * 1024 * 1024u);
    EXPECT_EQ(room_on_volume(bytes, 3000), bytes.bytes + 5 * 2999u) << "an unusual unit";

    make_folders(scratch / "c/src/s/deeper/empty_folder_of_25_chars");
    write_file(scratch / "c/src/a_file_of_twenty_chars", "");
    EXPECT_TRUE(measure_tree("C:\\src", &longest, &bytes));
    EXPECT_EQ(longest, std::string("s\\deeper\\empty_folder_of_25_chars").size());

    make_folders(scratch / "c/empty");
    EXPECT_TRUE(measure_tree("C:\\empty", &longest, &bytes));
    EXPECT_EQ(longest, 0u);
    EXPECT_EQ(bytes.bytes, 0u);
    // A folder measured on the tree's walk, or on its own when outside it,
    // measures as alone.
    for (const char* inner : {"C:\\src\\s", "C:\\src\\s\\deeper", "C:\\empty"}) {
        std::size_t alone_longest = 0;
        std::size_t inner_longest = 99;
        TreeSize alone;
        TreeSize within;
        EXPECT_TRUE(measure_tree(inner, &alone_longest, &alone));
        EXPECT_TRUE(measure_tree("C:\\src", &longest, &bytes, inner, &inner_longest, &within));
        EXPECT_EQ(longest, std::string("s\\deeper\\empty_folder_of_25_chars").size()) << inner;
        EXPECT_EQ(inner_longest, alone_longest) << inner;
        EXPECT_EQ(within.bytes, alone.bytes) << inner;
        EXPECT_EQ(within.files, alone.files) << inner;
        EXPECT_EQ(within.rounded[3], alone.rounded[3]) << inner;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(log(), "");

    // A missing folder, its control characters spelled in the message.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(measure_tree("C:\\missing\x1b[2J", &longest, &bytes));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: Could not read the folder C:\\missing<U+001B>[2J, so the paths of the "
              "distribution cannot be measured.\n");
    EXPECT_EQ(log(),
              "Error: Could not read the folder C:\\missing<U+001B>[2J, so the paths of the "
              "distribution cannot be measured.\r\n");
}

// The path walk: the root, then each folder down to the path itself or the
// first one missing; a trailing backslash makes no folder of its own.
TEST_F(TreeCopy, PathWalkGoesDownToTheFirstMissingFolder) {
    std::string seen;
    auto note = [&](const char* folder, bool exists, PathPlace place) {
        seen += std::string(folder) + (exists ? "+" : "-") + "RAP"[static_cast<int>(place)] + " ";
        return true;
    };
    EXPECT_TRUE(walk_path("C:\\src\\s\\new\\deeper", note));
    EXPECT_TRUE(walk_path("C:\\src\\", note));
    EXPECT_FALSE(walk_path("src\\s", note));
    EXPECT_EQ(seen, "C:\\+R C:\\src+A C:\\src\\s+A C:\\src\\s\\new-A C:\\+R C:\\src+P ");
    char folder[PATH_CAPACITY];
    EXPECT_STREQ(nearest_existing_folder("C:\\src\\s\\new\\deeper", folder, sizeof folder),
                 "new\\deeper");
    EXPECT_STREQ(folder, "C:\\src\\s");
}

}  // namespace
