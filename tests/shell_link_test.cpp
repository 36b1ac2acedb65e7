// The shell link writer, checked by reading its files back with lnkinfo
// (Debian's liblnk-utils), a reader written independently of this program,
// and by looking at the bytes lnkinfo does not show.

#include "shell_link.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char kTarget[] = "C:\\XEPDB1\\QUARNDEL\\com\\startora.bat";
const char kWorkingDir[] = "C:\\XEPDB1\\QUARNDEL\\com";
const char kDescription[] = "Start Oracle Application";

bool find_on_path(const char* program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty()) dir = ".";
        if (::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

std::string shell_quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

// What lnkinfo prints about a link: its "name : value" lines, and every line.
struct LnkInfo {
    std::map<std::string, std::string> fields;
    std::vector<std::string> lines;
    bool has_line(const std::string& wanted) const {
        for (const std::string& line : lines) {
            if (line == wanted) return true;
        }
        return false;
    }
};

std::string trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Runs lnkinfo on the file. Fails the test, with the reason, when lnkinfo is
// missing or does not accept the file.
::testing::AssertionResult read_with_lnkinfo(const fs::path& link, LnkInfo* info) {
    if (!find_on_path("lnkinfo")) {
        return ::testing::AssertionFailure()
               << "lnkinfo is not installed (no lnkinfo on PATH); these tests need it "
                  "to read the links back: apt-get install -y liblnk-utils";
    }
    std::string command = "lnkinfo " + shell_quote(link.string()) + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return ::testing::AssertionFailure() << "cannot run " << command;
    std::string output;
    char buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
    int status = ::pclose(pipe);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return ::testing::AssertionFailure()
               << "lnkinfo rejected " << link << " (status " << status << "):\n"
               << output;
    }
    info->fields.clear();
    info->lines.clear();
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(start, end - start);
        start = end + 1;
        info->lines.push_back(trim(line));
        std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string value = line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ') value.erase(0, 1);
        info->fields[trim(line.substr(0, colon))] = value;
    }
    if (!info->has_line("Windows Shortcut information:")) {
        return ::testing::AssertionFailure() << "lnkinfo did not read a shortcut:\n" << output;
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::uint8_t> read_bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>());
}

std::uint32_t u32_at(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes.at(offset)) |
           static_cast<std::uint32_t>(bytes.at(offset + 1)) << 8 |
           static_cast<std::uint32_t>(bytes.at(offset + 2)) << 16 |
           static_cast<std::uint32_t>(bytes.at(offset + 3)) << 24;
}

std::vector<std::string> folder_entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

class ShellLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") +
                              "/shell_link_test.XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        ASSERT_NE(::mkdtemp(name.data()), nullptr) << "cannot make a scratch folder";
        folder_ = name.data();
    }
    void TearDown() override {
        if (!folder_.empty()) {
            std::error_code ignored;
            fs::remove_all(folder_, ignored);
        }
    }
    fs::path folder_;
};

TEST_F(ShellLinkTest, LnkinfoReadsTargetWorkingDirectoryAndDescription) {
    fs::path link = folder_ / "Quarndel.lnk";
    ASSERT_TRUE(shell_link::write_shell_link(link.c_str(), kTarget, kWorkingDir, kDescription));

    LnkInfo info;
    ASSERT_TRUE(read_with_lnkinfo(link, &info));
    EXPECT_EQ(info.fields["Local path"], kTarget);
    EXPECT_EQ(info.fields["Working directory"], kWorkingDir);
    EXPECT_EQ(info.fields["Description"], kDescription);
    EXPECT_TRUE(info.has_line("Contains a description string"));
    EXPECT_TRUE(info.has_line("Contains a working directory string"));
    EXPECT_EQ(info.fields["Drive type"], "Fixed (3)");
    // Nothing else was written: no item list, arguments, icon or extra blocks.
    EXPECT_FALSE(info.has_line("Contains a link target identifier"));
    EXPECT_EQ(info.fields.count("Command line arguments"), 0u);
    EXPECT_EQ(info.fields.count("Relative path"), 0u);
    EXPECT_EQ(info.fields.count("Icon location"), 0u);
    EXPECT_EQ(info.fields.count("Network path"), 0u);
    EXPECT_EQ(folder_entries(folder_), std::vector<std::string>{"Quarndel.lnk"});
}

TEST_F(ShellLinkTest, HeaderHoldsTheLinkClassAndFlags) {
    fs::path link = folder_ / "Quarndel.lnk";
    ASSERT_TRUE(shell_link::write_shell_link(link.c_str(), kTarget, kWorkingDir, kDescription));
    std::vector<std::uint8_t> bytes = read_bytes(link);
    ASSERT_GE(bytes.size(), 76u + 4u);

    EXPECT_EQ(u32_at(bytes, 0), 0x4Cu);  // header size
    // 00021401-0000-0000-C000-000000000046 in its stored byte order.
    const std::vector<std::uint8_t> clsid = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                             0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 4, bytes.begin() + 20), clsid);
    // HasLinkInfo | HasName | HasWorkingDir; 8-bit strings, so not IsUnicode;
    // no item list, relative path, arguments or icon.
    EXPECT_EQ(u32_at(bytes, 0x14), 0x02u | 0x04u | 0x10u);
    EXPECT_EQ(u32_at(bytes, 0x18), 0x20u);  // FILE_ATTRIBUTE_ARCHIVE
    for (std::size_t offset = 0x1C; offset < 0x34; ++offset) {
        EXPECT_EQ(bytes[offset], 0) << "time byte at " << offset;
    }
    EXPECT_EQ(u32_at(bytes, 0x3C), 1u);  // SW_SHOWNORMAL
    for (std::size_t offset = 0x40; offset < 0x4C; ++offset) {
        EXPECT_EQ(bytes[offset], 0) << "hot key or reserved byte at " << offset;
    }

    // The link info starts right after the header and its first field is its
    // size; the two counted strings and the terminal block follow it, and
    // the file ends there.
    const std::uint32_t link_info_size = u32_at(bytes, 0x4C);
    const std::size_t strings = 0x4C + link_info_size;
    ASSERT_LE(strings + 2, bytes.size());
    EXPECT_EQ(bytes[strings] | bytes[strings + 1] << 8, sizeof kDescription - 1);
    EXPECT_EQ(bytes.size(),
              strings + 2 + (sizeof kDescription - 1) + 2 + (sizeof kWorkingDir - 1) + 4);
    EXPECT_EQ(u32_at(bytes, bytes.size() - 4), 0u);  // terminal block
}

TEST_F(ShellLinkTest, SecondWriteReplacesTheFirst) {
    fs::path link = folder_ / "Quarndel.lnk";
    ASSERT_TRUE(shell_link::write_shell_link(link.c_str(), "D:\\A much longer first target\\x.bat",
                                             "D:\\A much longer first working folder",
                                             "A first description that is longer"));
    LnkInfo info;
    ASSERT_TRUE(read_with_lnkinfo(link, &info));
    ASSERT_EQ(info.fields["Local path"], "D:\\A much longer first target\\x.bat");

    ASSERT_TRUE(shell_link::write_shell_link(link.c_str(), "E:\\b\\go.cmd", "E:\\b", "Second"));
    ASSERT_TRUE(read_with_lnkinfo(link, &info));
    EXPECT_EQ(info.fields["Local path"], "E:\\b\\go.cmd");
    EXPECT_EQ(info.fields["Working directory"], "E:\\b");
    EXPECT_EQ(info.fields["Description"], "Second");
    // Nothing of the longer first link is left at the end of the file.
    std::vector<std::uint8_t> bytes = read_bytes(link);
    ASSERT_GE(bytes.size(), 0x50u);
    EXPECT_EQ(bytes.size(), 0x4Cu + u32_at(bytes, 0x4C) + (2 + 6) + (2 + 4) + 4);
    EXPECT_EQ(folder_entries(folder_), std::vector<std::string>{"Quarndel.lnk"});
}

TEST_F(ShellLinkTest, EightBitTextIsKeptAsAnsi) {
    fs::path link = folder_ / "Caf\xC3\xA9.lnk";
    // Latin-1 / Windows-1252 bytes: e acute and the euro sign.
    ASSERT_TRUE(shell_link::write_shell_link(link.c_str(), "C:\\Caf\xE9\\run.bat", "C:\\Caf\xE9",
                                             "Costs 5 \x80"));
    LnkInfo info;
    ASSERT_TRUE(read_with_lnkinfo(link, &info));
    EXPECT_EQ(info.fields["Local path"], "C:\\Caf\xC3\xA9\\run.bat");
    EXPECT_EQ(info.fields["Working directory"], "C:\\Caf\xC3\xA9");
    EXPECT_EQ(info.fields["Description"], "Costs 5 \xE2\x82\xAC");
}

TEST_F(ShellLinkTest, EmptyDescriptionAndWorkingDirectoryAreLeftOut) {
    fs::path link = folder_ / "Bare.lnk";
    ASSERT_TRUE(shell_link::write_shell_link(link.c_str(), kTarget, "", ""));
    LnkInfo info;
    ASSERT_TRUE(read_with_lnkinfo(link, &info));
    EXPECT_EQ(info.fields["Local path"], kTarget);
    EXPECT_EQ(info.fields.count("Description"), 0u);
    EXPECT_EQ(info.fields.count("Working directory"), 0u);
    std::vector<std::uint8_t> bytes = read_bytes(link);
    EXPECT_EQ(u32_at(bytes, 0x14), 0x02u);  // HasLinkInfo only
}

TEST_F(ShellLinkTest, MissingFolderFailsAndWritesNothing) {
    fs::path link = folder_ / "no such folder" / "Quarndel.lnk";
    EXPECT_FALSE(shell_link::write_shell_link(link.c_str(), kTarget, kWorkingDir, kDescription));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(fs::exists(folder_ / "no such folder"));
    EXPECT_TRUE(folder_entries(folder_).empty());
}

TEST_F(ShellLinkTest, DirectoryOfThatNameFailsAndIsLeftAlone) {
    fs::path link = folder_ / "Quarndel.lnk";
    ASSERT_TRUE(fs::create_directory(link));
    EXPECT_FALSE(shell_link::write_shell_link(link.c_str(), kTarget, kWorkingDir, kDescription));
    EXPECT_TRUE(fs::is_directory(link));
    EXPECT_TRUE(fs::is_empty(link));
    EXPECT_EQ(folder_entries(folder_), std::vector<std::string>{"Quarndel.lnk"});
}

TEST_F(ShellLinkTest, FailedWriteKeepsTheOldLinkAndLeavesNoTemporary) {
    fs::path link = folder_ / "Quarndel.lnk";
    ASSERT_TRUE(shell_link::write_shell_link(link.c_str(), kTarget, kWorkingDir, kDescription));

    // In a child process whose files may not grow past 100 bytes (as on a
    // full disk, the write fails part way), try to replace the link.
    std::fflush(nullptr);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {100, 100};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
        bool written = shell_link::write_shell_link(link.c_str(), "E:\\other\\target.bat",
                                                    "E:\\other", "Other description");
        ::_exit(written ? 1 : (errno == EFBIG ? 0 : 2));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: reported success; 2: wrong errno; 3: no limit";

    LnkInfo info;
    ASSERT_TRUE(read_with_lnkinfo(link, &info));
    EXPECT_EQ(info.fields["Local path"], kTarget);
    EXPECT_EQ(info.fields["Description"], kDescription);
    EXPECT_EQ(folder_entries(folder_), std::vector<std::string>{"Quarndel.lnk"});
}

TEST_F(ShellLinkTest, RefusesWhatTheFormatCannotHold) {
    fs::path link = folder_ / "Quarndel.lnk";
    std::string too_long(0x10000, 'x');
    EXPECT_FALSE(
        shell_link::write_shell_link(link.c_str(), kTarget, kWorkingDir, too_long.c_str()));
    EXPECT_FALSE(
        shell_link::write_shell_link(link.c_str(), kTarget, too_long.c_str(), kDescription));
    EXPECT_FALSE(shell_link::write_shell_link(link.c_str(), "", kWorkingDir, kDescription));
    EXPECT_TRUE(folder_entries(folder_).empty());

    std::string longest(0xFFFF, 'y');
    ASSERT_TRUE(shell_link::write_shell_link(link.c_str(), kTarget, kWorkingDir, longest.c_str()));
    LnkInfo info;
    ASSERT_TRUE(read_with_lnkinfo(link, &info));
    EXPECT_EQ(info.fields["Description"], longest);
}

}  // namespace
