// The pure text rules: composition, escaping, trimming, the checks on
// answers, and the bounds that keep every field from overflowing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "deploy/shortcut_stage.h"
#include "input/answer_checks.h"
#include "setup/bounded_text.h"
#include "setup/derive_paths.h"

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

TEST(UppercaseDriveLetter, OnlyALeadingLetterBeforeAColon) {
    char paths[][16] = {"d:\\apps", "D:\\apps", "\\\\d\\x", "dd:\\x", "1:\\x", "d"};
    for (char* path : paths) uppercase_drive_letter(path);
    EXPECT_STREQ(paths[0], "D:\\apps");
    EXPECT_STREQ(paths[1], "D:\\apps");
    EXPECT_STREQ(paths[2], "\\\\d\\x");
    EXPECT_STREQ(paths[3], "dd:\\x");
    EXPECT_STREQ(paths[4], "1:\\x");
    EXPECT_STREQ(paths[5], "d");
}

TEST(BoundedText, NeverOverflowsAndAlwaysTerminates) {
    char field[8];
    std::memset(field, 'x', sizeof field);
    EXPECT_FALSE(compose_text(field, sizeof field, "%s-%s", "abcd", "efgh"));
    EXPECT_STREQ(field, "abcd-ef");
    EXPECT_TRUE(copy_text(field, sizeof field, "1234567"));
    EXPECT_FALSE(copy_text(field, sizeof field, "12345678"));
    EXPECT_STREQ(field, "1234567");
}

}  // namespace
