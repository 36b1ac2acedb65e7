// The pure text rules: composition, escaping, trimming, the checks on
// answers, and the bounds that keep every field from overflowing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "input/answer_checks.h"
#include "path_list.h"
#include "setup/bounded_text.h"
#include "setup/database_command.h"
#include "setup/derive_paths.h"
#include "setup/run_record.h"
#include "setup/windows_path.h"

namespace {

std::string app_path(const char* directory, const char* service = "XEPDB1",
                     const char* owner = "QUARNDEL") {
    char root[260];
    EXPECT_TRUE(make_app_path(directory, root, sizeof root, service, owner));
    return root;
}

std::string escaped(const char* path) {
    char out[260];
    EXPECT_TRUE(escape_for_sqlplus(path, out, sizeof out));
    return out;
}

std::string trimmed(const char* text) {
    char field[64];
    std::strcpy(field, text);
    trim_whitespace(field);
    return field;
}

TEST(InstallationRoot, DriveRootAndPlainDirectory) {
    EXPECT_EQ(app_path("C:\\"), "C:\\XEPDB1\\QUARNDEL");
    EXPECT_EQ(app_path("E:\\data"), "E:\\data\\XEPDB1\\QUARNDEL");
    EXPECT_EQ(app_path("D:\\apps\\"), "D:\\apps\\XEPDB1\\QUARNDEL");
    EXPECT_EQ(app_path("", "S", "O"), "\\S\\O");
}

TEST(InstallationRoot, TooLongIsCutAndReported) {
    char root[16];
    EXPECT_FALSE(make_app_path("C:\\a_long_folder", root, sizeof root, "XEPDB1", "QUARNDEL"));
    EXPECT_EQ(std::strlen(root), 15u);
    EXPECT_EQ(std::string(root), "C:\\a_long_folde");
}

TEST(ReplaceSubstring, LeftmostNonOverlappingAndNeverRescanned) {
    char out[64];
    ASSERT_TRUE(replace_substring("aaa", out, sizeof out, "aa", "b"));
    EXPECT_STREQ(out, "ba");
    ASSERT_TRUE(replace_substring("x&y", out, sizeof out, "&", "&&"));
    EXPECT_STREQ(out, "x&&y");
    ASSERT_TRUE(replace_substring("plain", out, sizeof out, "\\", "\\\\"));
    EXPECT_STREQ(out, "plain");
}

TEST(ReplaceSubstring, BoundedByTheDestination) {
    char out[6];
    std::memset(out, '#', sizeof out);
    EXPECT_FALSE(replace_substring("\\\\\\\\", out, sizeof out, "\\", "\\\\"));
    EXPECT_EQ(std::strlen(out), 4u) << "only whole replacements that fit are stored";
    char exact[9];
    EXPECT_TRUE(replace_substring("\\\\\\\\", exact, sizeof exact, "\\", "\\\\"));
    EXPECT_STREQ(exact, "\\\\\\\\\\\\\\\\");
}

TEST(EscapeForSqlplus, BackslashesFirstThenAmpersands) {
    EXPECT_EQ(escaped("D:\\My Apps & Co\\XEPDB1\\QUARNDEL"),
              "D:\\\\My Apps \\& Co\\\\XEPDB1\\\\QUARNDEL");
    EXPECT_EQ(escaped("A&&B"), "A\\&\\&B");
    EXPECT_EQ(escaped("\\\\"), "\\\\\\\\");
    EXPECT_EQ(escaped("plain"), "plain");
}

TEST(EscapeForSqlplus, RefusesWhatWouldNotFit) {
    std::string path = "C:" + std::string(129, '\\');  // 258 characters doubling to 387
    char out[260];
    EXPECT_FALSE(escape_for_sqlplus(path.c_str(), out, sizeof out));
    std::string ampersands(200, '&');  // 200 characters doubling to 400
    EXPECT_FALSE(escape_for_sqlplus(ampersands.c_str(), out, sizeof out));
}

TEST(DerivedValuesFit, ApplicationHomeLeavesRoomForTheCommandLine) {
    // The command adds 48 characters to APP_HOME; 259 is the most a field holds.
    std::string longest = "C:\\" + std::string(208, 'a');  // 211 characters
    EXPECT_TRUE(app_home_fits(longest.c_str()));
    EXPECT_FALSE(app_home_fits((longest + "b").c_str()));
    // Backslashes double in the SQL form.
    std::string many = "C:" + std::string(130, '\\');
    EXPECT_FALSE(app_home_fits(many.c_str()));
}

TEST(DerivedValuesFit, DataHomeLeavesRoomForItsSuffixAndSqlForm) {
    // 252 + "\data" = 257 characters, 259 once both backslashes are doubled.
    std::string longest = "C:\\" + std::string(249, 'a');
    EXPECT_TRUE(data_home_fits(longest.c_str()));
    EXPECT_FALSE(data_home_fits((longest + "b").c_str()));
    std::string backslashes = "C:\\" + std::string(127, 'a') + std::string(70, '\\');
    EXPECT_FALSE(data_home_fits(backslashes.c_str()));
}

TEST(TrimWhitespace, BlanksAroundAndLineBreaksAtTheEnd) {
    EXPECT_EQ(trimmed("  C:\\apps  "), "C:\\apps");
    EXPECT_EQ(trimmed("C:\\apps\r\n"), "C:\\apps");
    EXPECT_EQ(trimmed("\tC:\\apps\t"), "\tC:\\apps\t") << "only blanks are trimmed";
    EXPECT_EQ(trimmed("    "), "");
    EXPECT_EQ(trimmed(""), "");
    EXPECT_EQ(trimmed("  \n"), "\n") << "the first character after the blanks is kept";
}

// PATH in, its folders out (joined by |), as cmd splits it.
TEST(PathList, SplitsAtSemicolonsOutsideQuotesAndDropsTheQuotes) {
    const struct {
        const char* list;
        const char* folders;
    } cases[] = {
        {"\"C:\\my;bin\";C:\\b", "C:\\my;bin|C:\\b"},
        {"C:\\a;;\"C:\\my bin\"\\x;", "C:\\a||C:\\my bin\\x"},
        {"C:\\0123456789;C:\\b", "|C:\\b"},  // too long for the field: empty, not cut
    };
    for (const auto& c : cases) {
        std::string folders;
        const char* separator = "";
        for (const char* next = c.list; *next != '\0'; separator = "|") {
            char folder[12];
            next = platform::next_list_entry(next, folder, sizeof folder);
            folders += separator + std::string(folder);
        }
        EXPECT_EQ(folders, c.folders) << c.list;
    }
}

// Directory answers in, as Windows resolves them: "" where the answer is no
// full path (it is then refused).
TEST(WindowsPath, ResolvesAsTheSystemDoes) {
    const struct {
        const char* answer;
        const char* resolved;
    } cases[] = {
        {"C:\\", "C:\\"},
        {"c:\\apps", "C:\\apps"},
        {"C:/apps//x", "C:\\apps\\x"},
        {"C:\\apps\\\\\\x\\", "C:\\apps\\x\\"},
        {"C:\\new\\..\\existing", "C:\\existing"},
        {"C:\\a\\.\\b\\.", "C:\\a\\b"},
        {"C:\\..\\..\\x", "C:\\x"},
        {"C:\\a\\..", "C:\\"},
        {"C:\\x...", "C:\\x"},
        {"C:\\x. . ", "C:\\x"},
        {"C:\\a.\\b", "C:\\a\\b"},
        {"C:\\a..\\b", "C:\\a..\\b"},
        {"C:\\a \\b\\..", "C:\\a"},
        {"C:\\x \\", "C:\\x \\"},
        {"C:\\Café", "C:\\Café"},
        {"\\\\server\\share", "\\\\server\\share"},
        {"\\\\server\\share\\..\\..\\x", "\\\\server\\share\\x"},
        {"//server/share/a/../b", "\\\\server\\share\\b"},
        {"C:x", ""},
        {"C:", ""},
        {"..\\x", ""},
        {"\\x", ""},
        {"\\\\server", ""},
        {"\\\\server\\\\x", ""},
        {"\\\\?\\C:\\x", ""},
        {"\\\\.\\C:\\x", ""},
        {" C:\\x", ""},
    };
    for (const auto& c : cases) {
        char path[260];
        std::snprintf(path, sizeof path, "%s", c.answer);
        const bool full = resolve_full_path(path);
        EXPECT_EQ(full, c.resolved[0] != '\0') << c.answer;
        if (full) {
            EXPECT_STREQ(path, c.resolved) << c.answer;
            char again[260];
            std::snprintf(again, sizeof again, "%s", path);
            resolve_full_path(again);
            EXPECT_STREQ(again, path) << "resolving twice changes nothing: " << c.answer;
        }
    }
}

TEST(WindowsPath, ComparesWithoutRegardToCase) {
    EXPECT_TRUE(same_path("C:\\XEPDB1\\Install", "c:\\xepdb1\\INSTALL"));
    EXPECT_TRUE(same_path("C:\\", "c:"));
    EXPECT_FALSE(same_path("C:\\ab", "C:\\a"));
    EXPECT_TRUE(path_is_within("C:\\A\\install\\seed_data.sql", "c:\\a\\Install"));
    EXPECT_TRUE(path_is_within("C:\\a", "C:\\A"));
    EXPECT_TRUE(path_is_within("C:\\a\\b", "C:\\"));
    EXPECT_FALSE(path_is_within("C:\\ab", "C:\\a"));
    EXPECT_FALSE(path_is_within("D:\\a", "C:\\"));
    EXPECT_TRUE(path_lies_below("C:\\data\\data\\data\\x", "C:\\data\\data\\data"));
    EXPECT_FALSE(path_lies_below("C:\\data\\data\\data", "c:\\DATA\\data\\data"));
    EXPECT_TRUE(same_root("c:\\x", "C:\\y"));
    EXPECT_TRUE(same_root("\\\\Server\\Share\\x", "\\\\server\\share"));
    EXPECT_FALSE(same_root("\\\\server\\share\\x", "\\\\server\\other\\x"));
    EXPECT_FALSE(same_root("C:\\x", "D:\\x"));
    char root[8];
    EXPECT_TRUE(path_root("\\\\s\\sh", root, sizeof root));
    EXPECT_STREQ(root, "\\\\s\\sh\\");
    EXPECT_FALSE(path_root("\\\\server\\share\\x", root, sizeof root)) << "would not fit";
    char parent[260];
    const struct {
        const char* path;
        const char* parent;
    } parents[] = {{"C:\\a\\b", "C:\\a"}, {"C:\\a", "C:\\"}, {"C:\\a\\", "C:\\"},
                   {"\\\\s\\sh\\a", "\\\\s\\sh\\"}, {"C:\\", nullptr}, {"\\\\s\\sh\\", nullptr},
                   {"\\\\s\\sh", nullptr}};
    for (const auto& c : parents) {
        EXPECT_EQ(parent_folder(c.path, parent, sizeof parent), c.parent != nullptr) << c.path;
        if (c.parent != nullptr) {
            EXPECT_STREQ(parent, c.parent) << c.path;
        }
    }
    EXPECT_TRUE(is_dot_entry(".") && is_dot_entry(".."));
    EXPECT_FALSE(is_dot_entry("...") || is_dot_entry(".x") || is_dot_entry(""));
}

// The stale-script check matches the failed copies however the folders of
// the distribution spell their letters.
// (The record is the process's: paths no other test's run uses, on Q:.)
TEST(RunRecord, MatchesFailedCopiesWithoutRegardToCase) {
    note_copy_failure("Q:\\RECORD\\QUARNDEL\\Install\\seed_data.sql");
    EXPECT_TRUE(copy_failed_at("q:\\record\\quarndel\\install"));
    EXPECT_FALSE(copy_failed_at("Q:\\RECORD\\QUARNDEL\\config"));
    EXPECT_FALSE(copy_failed_at("Q:\\RECORD\\QUARNDEL\\Installer"));
    note_script_written("Q:\\RECORD\\QUARNDEL\\config\\set_env.sql");
    EXPECT_TRUE(script_written("Q:\\record\\QUARNDEL\\CONFIG\\set_env.sql"));
}

TEST(BoundedText, NeverOverflowsAndAlwaysTerminates) {
    char field[8];
    std::memset(field, 'x', sizeof field);
    EXPECT_FALSE(compose_text(field, sizeof field, "%s-%s", "abcd", "efgh"));
    EXPECT_STREQ(field, "abcd-ef");
    EXPECT_TRUE(copy_text(field, sizeof field, "1234567"));
    EXPECT_FALSE(copy_text(field, sizeof field, "12345678"));
    EXPECT_STREQ(field, "1234567");
    char list[8] = "";
    EXPECT_TRUE(add_to_list(list, sizeof list, "ab") && add_to_list(list, sizeof list, "c"));
    EXPECT_STREQ(list, "ab, c");
    EXPECT_FALSE(add_to_list(list, sizeof list, "de"));
    EXPECT_STREQ(list, "ab, c, ");
}

}  // namespace
