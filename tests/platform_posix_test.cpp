// The POSIX backend's Windows behaviour: drive mapping, the existence test,
// directory creation, and the file copy's rules.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "input/answer_checks.h"
#include "platform/platform.h"
#include "host_path.h"
#include "system_calls.h"
#include "tests/test_support.h"

namespace {

class PosixBackend : public ScratchDrives {
  protected:
    void SetUp() override {
        make_folders(scratch / "c/apps");
        map_drive('C', scratch / "c");
        map_drive('D', scratch / "d");
    }
    std::string host(const char* windows_path) {
        char out[4096];
        if (!host_path::to_host(windows_path, out, sizeof out)) return "<none>";
        return out;
    }
    // A copy as the copy stage makes it: into the destination's folder, held open.
    static unsigned long copy_into(const char* source, const std::string& destination) {
        const std::size_t name = destination.rfind('\\');
        platform::HomeFolder* folder = nullptr;
        unsigned long code = platform::open_home_folder(destination.substr(0, name).c_str(), &folder);
        if (code != 0) return code;
        code = platform::copy_file_into(source, folder, destination.c_str() + name + 1).code;
        platform::close_home_folder(folder);
        return code;
    }
    std::string saved_cwd = current_directory();

  private:
    static std::string current_directory() {
        char cwd[4096];
        return getcwd(cwd, sizeof cwd) != nullptr ? cwd : "/";
    }
};

TEST_F(PosixBackend, DrivesMapToHostFolders) {
    EXPECT_EQ(host("C:\\apps\\x.txt"), scratch / "c/apps/x.txt");
    EXPECT_EQ(host("c:\\apps"), scratch / "c/apps");
    EXPECT_EQ(host("Z:\\etc\\hosts"), "/etc/hosts");
    EXPECT_EQ(host("relative\\file"), saved_cwd + "/relative/file") << "Z: holds the host root";
    EXPECT_EQ(host("Q:\\unmapped"), "<none>");
    EXPECT_EQ(host("\\\\server\\share"), "<none>");
    EXPECT_EQ(host(""), "<none>");

    char windows[260];
    ASSERT_TRUE(host_path::to_windows((scratch / "c/apps/x").c_str(), windows, sizeof windows));
    EXPECT_STREQ(windows, "C:\\apps\\x");
    ASSERT_TRUE(host_path::to_windows("/usr/bin", windows, sizeof windows));
    EXPECT_STREQ(windows, "Z:\\usr\\bin");
    EXPECT_FALSE(host_path::to_windows("/a/very/long/path", windows, 8)) << "never cut silently";
}

TEST_F(PosixBackend, DotDotNeverClimbsAboveTheDriveRoot) {
    make_folders(scratch / "d");
    EXPECT_EQ(host("C:\\..\\.."), scratch / "c");
    EXPECT_EQ(host("C:\\..\\..\\"), scratch / "c/");
    EXPECT_EQ(host("C:\\apps\\..\\..\\..\\apps\\x.txt"), scratch / "c/apps/x.txt");
    EXPECT_EQ(host("C:\\.\\apps\\.\\x\\..\\y"), scratch / "c/apps/y");
    EXPECT_EQ(host("C:\\apps\\"), scratch / "c/apps/") << "a trailing backslash stays";
    EXPECT_EQ(host("C:\\apps\\..d"), scratch / "c/apps/..d") << "only .. itself climbs";
    EXPECT_EQ(host("D:\\..\\c\\apps"), scratch / "d/c/apps") << "never onto a neighbour";
    EXPECT_EQ(host("Z:\\..\\..\\etc"), "/etc");
    EXPECT_EQ(host("Z:\\.."), "/");

    // The operations reach the drive's root, never the folder above it.
    write_file(scratch / "above.txt", "outside every drive");
    EXPECT_TRUE(directory_exists("C:\\..\\apps"));
    EXPECT_FALSE(file_exists(scratch / "c/above.txt"));
    EXPECT_NE(copy_into("C:\\..\\above.txt", "C:\\apps\\got.txt"), 0u);
    EXPECT_FALSE(file_exists(scratch / "c/apps/got.txt"));
    EXPECT_EQ(platform::create_directories("C:\\..\\..\\made"), 0u);
    EXPECT_TRUE(file_exists(scratch / "c/made"));
    EXPECT_FALSE(file_exists(scratch / "made"));

    // Relative paths are resolved from the working directory, and stop at
    // the root of its drive too.
    work_in(scratch / "c/apps");
    EXPECT_EQ(host("..\\..\\..\\x.txt"), scratch / "c/x.txt");
    EXPECT_EQ(host("sub\\..\\x.txt"), scratch / "c/apps/x.txt");
    EXPECT_EQ(host("."), scratch / "c/apps");
}

TEST_F(PosixBackend, LeadingBackslashIsRootedOnTheWorkingDirectorysDrive) {
    make_folders(scratch / "d/work");
    work_in(scratch / "c/apps");
    EXPECT_EQ(host("\\apps\\x.txt"), scratch / "c/apps/x.txt");
    EXPECT_EQ(host("\\..\\x.txt"), scratch / "c/x.txt");
    EXPECT_EQ(host("\\"), scratch / "c/");
    EXPECT_EQ(host("C:x.txt"), scratch / "c/apps/x.txt") << "C: is the working drive";
    EXPECT_EQ(host("D:x.txt"), scratch / "d/x.txt") << "another drive: from its root";
    EXPECT_TRUE(directory_exists("\\apps"));
    EXPECT_EQ(platform::create_directories("\\rooted\\here"), 0u) << "the shell takes it";
    EXPECT_TRUE(file_exists(scratch / "c/rooted/here"));
    EXPECT_EQ(platform::create_directories("C:beside"), 0u);
    EXPECT_TRUE(file_exists(scratch / "c/apps/beside"));

    work_in(scratch / "d/work");
    EXPECT_EQ(host("\\x.txt"), scratch / "d/x.txt");
    EXPECT_EQ(host("C:x.txt"), scratch / "c/x.txt");
    write_file(scratch / "d/x.txt", "on D");
    EXPECT_EQ(copy_into("\\x.txt", "\\work\\y.txt"), 0u);
    EXPECT_EQ(read_file(scratch / "d/work/y.txt"), "on D");
}

TEST_F(PosixBackend, DirectoryExistsFollowsTheWindowsRules) {
    EXPECT_TRUE(directory_exists("C:\\"));
    EXPECT_TRUE(directory_exists("C:\\apps"));
    EXPECT_FALSE(directory_exists("C:\\apps\\")) << "a trailing backslash means missing";
    EXPECT_FALSE(directory_exists("C:\\missing"));
    EXPECT_FALSE(directory_exists("D:\\"));
    write_file(scratch / "c/file.txt", "x");
    EXPECT_FALSE(directory_exists("C:\\file.txt"));
}

TEST_F(PosixBackend, EnumerationRefusesAFolderLongerThanAHostPath) {
    platform::DirectoryEntry entry;
    const std::string pattern = "C:\\" + std::string(5000, 'a') + "\\*";
    EXPECT_EQ(platform::find_first_entry(pattern.c_str(), &entry), nullptr);
}

TEST_F(PosixBackend, CreateDirectoriesWithParentsAndRefusesRelativePaths) {
    EXPECT_EQ(platform::create_directories("C:\\new\\deep\\er"), 0u);
    EXPECT_TRUE(directory_exists("C:\\new\\deep\\er"));
    EXPECT_EQ(platform::create_directories("C:\\new\\deep"), platform::ERROR_CODE_ALREADY_EXISTS);
    EXPECT_EQ(platform::create_directories("relative\\dir"), platform::ERROR_CODE_BAD_PATHNAME);
    write_file(scratch / "c/plain", "x");
    EXPECT_NE(platform::create_directories("C:\\plain\\below"), 0u);
}

TEST_F(PosixBackend, CopyReplacesButNeverOntoItselfOrAReadOnlyTarget) {
    write_file(scratch / "c/apps/a.txt", "new contents");
    write_file(scratch / "c/apps/b.txt", "old");
    EXPECT_EQ(copy_into("C:\\apps\\a.txt", "C:\\apps\\b.txt"), 0u);
    EXPECT_EQ(read_file(scratch / "c/apps/b.txt"), "new contents");

    EXPECT_EQ(copy_into("C:\\apps\\a.txt", "C:\\apps\\a.txt"),
              platform::ERROR_CODE_SHARING_VIOLATION);
    EXPECT_EQ(read_file(scratch / "c/apps/a.txt"), "new contents") << "the source survives";

    // The copy takes over the read-only state, and then cannot be replaced.
    chmod((scratch / "c/apps/a.txt").c_str(), 0444);
    EXPECT_EQ(copy_into("C:\\apps\\a.txt", "C:\\apps\\ro.txt"), 0u);
    struct stat status;
    ASSERT_EQ(stat((scratch / "c/apps/ro.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0222, 0u);
    const mode_t read_only_mode = status.st_mode;
    EXPECT_EQ(copy_into("C:\\apps\\b.txt", "C:\\apps\\ro.txt"),
              platform::ERROR_CODE_ACCESS_DENIED);
    EXPECT_EQ(read_file(scratch / "c/apps/ro.txt"), "new contents");
    ASSERT_EQ(stat((scratch / "c/apps/ro.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode, read_only_mode) << "the refused target keeps its mode";

    EXPECT_NE(copy_into("C:\\apps\\missing", "C:\\apps\\x"), 0u);
    EXPECT_FALSE(file_exists(scratch / "c/apps/x"));
}

TEST_F(PosixBackend, LargeFilesArriveWhole) {
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 + i / 4096);
    write_file(scratch / "c/big.bin", big);
    ASSERT_EQ(copy_into("C:\\big.bin", "C:\\apps\\big.bin"), 0u);
    EXPECT_TRUE(read_file(scratch / "c/apps/big.bin") == big);
}

TEST_F(PosixBackend, CommandLinesSplitLikeWindowsWithoutAShell) {
    make_folders(scratch / "bin");
    write_file(scratch / "bin/show",
               "#!/bin/sh\nfor a in \"$@\"; do printf '<%s>' \"$a\"; done > \"$OUT\"\nexit 7\n");
    chmod((scratch / "bin/show").c_str(), 0755);
    set_environment("PATH", scratch.path() + "/bin:" + getenv("PATH"));
    set_environment("OUT", scratch / "out");
    platform::CommandResult run =
        platform::run_command("show / as sysdba @\"C:\\My $HOME & `x`\\a.sql\"");
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.exit_status, 7u);
    EXPECT_FALSE(run.interrupted);
    EXPECT_EQ(read_file(scratch / "out"), "</><as><sysdba><@C:\\My $HOME & `x`\\a.sql>");
    run = platform::run_command("no-such-program-here");
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.exit_status, platform::COMMAND_NOT_FOUND_STATUS);
    EXPECT_FALSE(platform::run_command("   ").started);
    // The start goes through the system-call table: a refused one is no run.
    const platform::SystemCalls saved = platform::system_calls();
    platform::system_calls().fork.current = []() -> pid_t {
        errno = EAGAIN;
        return -1;
    };
    run = platform::run_command("show x");
    platform::system_calls() = saved;
    EXPECT_FALSE(run.started);
    EXPECT_EQ(read_file(scratch / "out"), "</><as><sysdba><@C:\\My $HOME & `x`\\a.sql>");
}

TEST_F(PosixBackend, CommandGetsDefaultCtrlCAndOursIsBackAfterTheWait) {
    // The program is stopped by SIGINT: it did not inherit an ignored one.
    platform::CommandResult run = platform::run_command("sh -c \"kill -INT $$; sleep 5\"");
    EXPECT_EQ(run.exit_status, 128u + SIGINT);
    EXPECT_TRUE(run.interrupted);
    run = platform::run_command("sh -c \"kill -QUIT $$; sleep 5\"");
    EXPECT_EQ(run.exit_status, 128u + SIGQUIT);
    EXPECT_TRUE(run.interrupted);
    run = platform::run_command("sh -c \"kill -TERM $$; sleep 5\"");
    EXPECT_EQ(run.exit_status, 128u + SIGTERM);
    EXPECT_FALSE(run.interrupted);
    // Afterwards the dispositions are this process's own again.
    struct sigaction interrupt {};
    struct sigaction quit {};
    sigaction(SIGINT, nullptr, &interrupt);
    sigaction(SIGQUIT, nullptr, &quit);
    EXPECT_EQ(interrupt.sa_handler, SIG_DFL);
    EXPECT_EQ(quit.sa_handler, SIG_DFL);
}

}  // namespace
