// Whole installs with the native build: the stand-in SQL*Plus first on
// PATH, every answer and password from one file, the shortcut read back by
// lnkinfo, and the stages' failures reported as failures.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/prompts.h"
#include "tests/test_support.h"

namespace {

// lnkinfo's "Name : value" for a field, or "" when it has none.
std::string lnkinfo_field(const std::string& link, const std::string& field) {
    std::string command = "lnkinfo '" + link + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "";
    std::string output;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    pclose(pipe);
    std::size_t at = output.find("\t" + field);
    if (at == std::string::npos) return "";
    std::size_t colon = output.find(": ", at);
    std::size_t end = output.find('\n', colon);
    return output.substr(colon + 2, end - colon - 2);
}

class Install : public ScratchInstall {
  protected:
    void SetUp() override {
        ScratchInstall::SetUp();
        desktop = desktop_folder(drive_c);
    }

    // The run finds sqlplus in the folder first; the extra environment
    // entries come last and may replace PATH.
    ProgramRun install(const std::string& input, const std::string& sqlplus_folder,
                       const std::vector<std::string>& more = {}) {
        std::vector<std::string> environment = {path_starting_with(sqlplus_folder)};
        environment.insert(environment.end(), more.begin(), more.end());
        return run_program({dist + "/setup"}, input, scratch / "work", environment);
    }
    std::string log() {
        return read_file(scratch / "work/install.log");
    }

    std::string desktop;
};

TEST_F(Install, UnattendedFromOneFileWithTheStandIn) {
    // A sqlplus left in the current folder never runs, even with PATH
    // naming that folder (".", and an empty entry) before the stand-in's.
    write_file(scratch / "work/sqlplus", "#!/bin/sh\ntouch planted-sqlplus-ran\n");
    ASSERT_EQ(chmod((scratch / "work/sqlplus").c_str(), 0755), 0);
    ProgramRun run = install(default_answers() + "Owner-Pw-1\nConnect-Pw-2\nSys-Pw-3\n\n", "",
                             {"PATH=.::" + sqlplus_standin_folder() + ":" + std::getenv("PATH")});
    ASSERT_EQ(run.exit_status, 0) << run.output;
    EXPECT_FALSE(file_exists(scratch / "work/planted-sqlplus-ran"));

    std::string transcript = read_file(scratch / "work/sqlplus-transcript.log");
    std::string scripts;
    for (std::size_t at = transcript.find("SCRIPT "); at != std::string::npos;
         at = transcript.find("SCRIPT ", at + 1)) {
        std::size_t end = transcript.find_first_of("\r\n", at);
        scripts += transcript.substr(at, end - at) + "\n";
    }
    EXPECT_EQ(scripts, read_file(SOURCE_ROOT "/tests/golden/default_install_scripts.txt"));
    EXPECT_EQ(transcript.find("ORA-"), std::string::npos) << transcript;
    EXPECT_NE(log().find("Database objects created.\r\n"), std::string::npos);

    // No password in any file the run (or SQL*Plus) wrote.
    std::string everything = log() + transcript;
    for (const std::string& file : list_files_recursively(drive_c))
        everything += read_file(drive_c + "/" + file);
    for (const char* password : {"Owner-Pw-1", "Connect-Pw-2", "Sys-Pw-3"}) {
        EXPECT_EQ(everything.find(password), std::string::npos) << password;
    }
}

TEST_F(Install, ShortcutIsAShellLinkThatLnkinfoReads) {
    std::string fake = make_fake_sqlplus("exit 0");
    ProgramRun run = install(default_answers() + "\n", fake);
    ASSERT_EQ(run.exit_status, 0) << run.output;
    // The default answers' link is read back from the shipping exe's install
    // under Wine, the link writer's fields by its own tests; here a second
    // run elsewhere, typed with a lower-case drive letter, replaces it.
    std::string link = desktop + "/QUARNDEL.lnk";
    ASSERT_TRUE(file_exists(link));
    make_folders(scratch / "d/apps");
    map_drive('D', scratch / "d");
    ProgramRun again = install(answers_with({{"app installation", "d:\\apps"}}) + "\n", fake);
    ASSERT_EQ(again.exit_status, 0) << again.output;
    EXPECT_EQ(lnkinfo_field(link, "Local path"), "D:\\apps\\XEPDB1\\QUARNDEL\\com\\startora.bat");
    EXPECT_EQ(lnkinfo_field(link, "Working directory"), "D:\\apps\\XEPDB1\\QUARNDEL\\com");
    EXPECT_EQ(lnkinfo_field(link, "Description"), "Start Oracle Application");
}

TEST_F(Install, ShortcutFailuresAreNeverReportedAsCreated) {
    std::string fake = make_fake_sqlplus("exit 0");
    // The save fails: a folder stands where the link should go.
    make_folders(desktop + "/QUARNDEL.lnk");
    ProgramRun blocked = install(default_answers() + "\n", fake);
    EXPECT_EQ(blocked.exit_status, 1);
    EXPECT_EQ(blocked.output.find("Shortcut created on Desktop"), std::string::npos);
    EXPECT_NE(blocked.output.find("Error: Could not save the shortcut C:\\users\\"),
              std::string::npos);
    EXPECT_NE(blocked.output.find(
                  "These stages failed: desktop shortcut. See install.log for details.\n"),
              std::string::npos);
    EXPECT_NE(log().find("Error: No shortcut was created on the Desktop for QUARNDEL.\r\n"),
              std::string::npos);
    EXPECT_NE(log().find("Installation completed with errors.\r\n"), std::string::npos);

    // No desktop at all.
    ASSERT_EQ(std::system(("rm -rf '" + desktop + "'").c_str()), 0);
    ProgramRun missing = install(default_answers() + "\n", fake);
    EXPECT_EQ(missing.exit_status, 1);
    EXPECT_NE(missing.output.find("Error: Could not retrieve desktop path.\n"), std::string::npos);
    EXPECT_EQ(missing.output.find("Shortcut created on Desktop"), std::string::npos);

    // Nothing to start (a folder of its name stood where the copy would
    // put it): no link to nothing.
    make_folders(desktop);
    ASSERT_EQ(std::system(("rm -rf '" + drive_c + "/XEPDB1'").c_str()), 0);
    make_folders(drive_c + "/XEPDB1/QUARNDEL/com/startora.bat");
    ProgramRun nothing = install(default_answers() + "\n", fake);
    EXPECT_EQ(nothing.exit_status, 1);
    EXPECT_NE(nothing.output.find("Error: No shortcut was created on the Desktop for QUARNDEL: "
                                  "C:\\XEPDB1\\QUARNDEL\\com\\startora.bat does not exist.\n"),
              std::string::npos)
        << nothing.output;
    EXPECT_FALSE(file_exists(desktop + "/QUARNDEL.lnk"));
}

TEST_F(Install, SqlplusExitStatusIsExamined) {
    ProgramRun run = install(default_answers() + "\n", make_fake_sqlplus("exit 3"));
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.output.find("Error: SQL*Plus ended with exit status 3."), std::string::npos);
    EXPECT_EQ(log().find("Database objects created."), std::string::npos);
    EXPECT_NE(run.output.find("These stages failed: auto_install.sql and database objects."),
              std::string::npos);
    EXPECT_NE(run.output.find("Installation finished with errors. Press RETURN to exit.\n"),
              std::string::npos);

    // Not on PATH at all.
    ProgramRun absent =
        install(default_answers() + "\n", scratch / "empty", {"PATH=" + (scratch / "empty")});
    EXPECT_EQ(absent.exit_status, 1);
    EXPECT_NE(absent.output.find("\nError: sqlplus (SQL*Plus) was not found. It must be on PATH; "
                                 "Oracle Express installs it. The database objects were not "
                                 "created.\n"),
              std::string::npos)
        << absent.output;
    EXPECT_NE(log().find("\nError: sqlplus (SQL*Plus) was not found. It must be on PATH; Oracle "
                         "Express installs it. The database objects were not created.\r\n"),
              std::string::npos);
    EXPECT_EQ(absent.output.find("exit status 127"), std::string::npos);
    EXPECT_EQ(log().find("Database objects created."), std::string::npos);
}

TEST_F(Install, CommandLineAtItsLengthLimitArrivesWhole) {
    // APP_HOME of 211 characters: the command is 259, the most the field holds.
    std::string host = drive_c;
    std::string answer = "C:";
    while (answer.size() + 1 + 11 + 16 <= 211) {
        host += "/abcdefghij";
        answer += "\\abcdefghij";
    }
    std::string pad(211 - 16 - answer.size() - 1, 'p');
    host += "/" + pad;
    answer += "\\" + pad;
    make_folders(host);
    std::string fake =
        make_fake_sqlplus("printf '%s|' \"$@\" > \"" + scratch.path() + "/arguments\"\nexit 0");
    ProgramRun run = install(answers_with({{"app installation", answer}}) + "\n", fake);
    std::string app_home = answer + "\\XEPDB1\\QUARNDEL";
    std::string command = "sqlplus / as sysdba @\"" + app_home + "\\install\\auto_install.sql\"";
    EXPECT_NE(run.output.find("Executing: " + command + "\n"), std::string::npos) << run.output;
    EXPECT_EQ(read_file(scratch / "arguments"),
              "/|as|sysdba|@" + app_home + "\\install\\auto_install.sql|");
}

// Every user may change DATA_HOME: links another user plants there are
// replaced by the rerun, never written through.
TEST_F(Install, RerunNeverWritesThroughLinksPlantedInTheDataHome) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, to plant the links as the user nobody";
    std::string fake = make_fake_sqlplus("exit 0");
    make_folders(dist + "/data/sub");
    write_file(dist + "/data/sub/x.csv", "distribution's x");
    ASSERT_EQ(install(default_answers() + "\n", fake).exit_status, 0);
    // Root's files and folder outside, each the target of a planted link.
    make_folders(scratch / "root/folder");
    write_file(scratch / "root/linked.csv", "root's linked");
    write_file(scratch / "root/hard.csv", "root's hard");
    write_file(scratch / "root/folder/x.csv", "root's x");
    ASSERT_EQ(chmod(scratch.path().c_str(), 0755), 0);  // nobody reaches DATA_HOME
    const std::string data = drive_c + "/XEPDB1/QUARNDEL/data";
    const std::string as_nobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    ASSERT_EQ(std::system((as_nobody +
                           "sh -c 'rm -rf \"$0\"/books.csv \"$0\"/sub && ln -s \"$1\"/"
                           "linked.csv \"$0\"/books.csv && ln -s \"$1\"/folder \"$0\"/sub' '" +
                           data + "' '" + scratch / "root" + "'")
                              .c_str()),
              0);
    // The kernel stops nobody hard-linking root's file: root plants it.
    ASSERT_EQ(unlink((data + "/members.csv").c_str()), 0);
    ASSERT_EQ(link((scratch / "root/hard.csv").c_str(), (data + "/members.csv").c_str()), 0);

    ProgramRun rerun = install(default_answers() + "\n", fake);
    EXPECT_EQ(rerun.exit_status, 0) << rerun.output;
    EXPECT_EQ(read_file(scratch / "root/linked.csv"), "root's linked");
    EXPECT_EQ(read_file(scratch / "root/hard.csv"), "root's hard");
    EXPECT_EQ(read_file(scratch / "root/folder/x.csv"), "root's x");
    EXPECT_EQ(list_files_recursively(scratch / "root"),
              (std::vector<std::string>{"folder/x.csv", "hard.csv", "linked.csv"}));
    for (const char* name : {"books.csv", "members.csv", "sub/x.csv"}) {
        struct stat status;
        ASSERT_EQ(lstat((data + "/" + name).c_str(), &status), 0) << name;
        EXPECT_TRUE(S_ISREG(status.st_mode) && status.st_nlink == 1) << name;
        EXPECT_EQ(read_file(data + "/" + name), read_file(dist + "/data/" + name)) << name;
    }
    for (const std::string line :
         {"Replaced a link planted at C:\\XEPDB1\\QUARNDEL\\data\\books.csv by a real file.",
          "Replaced a hard link planted at C:\\XEPDB1\\QUARNDEL\\data\\members.csv by a real "
          "file.",
          "Replaced a link planted at C:\\XEPDB1\\QUARNDEL\\data\\sub by a real folder."}) {
        EXPECT_EQ(count_occurrences(rerun.output, "\n" + line + "\n"), 1u) << line;
        EXPECT_EQ(count_occurrences(log(), "\n" + line + "\r\n"), 1u) << line;
    }
}

// The demo distribution as it ships: Windows text in every file.
TEST(DemoDistribution, EveryFileHasWindowsLineEnds) {
    const std::vector<std::string> files = list_files_recursively(SOURCE_ROOT "/dist");
    EXPECT_GE(files.size(), 7u);
    for (const std::string& file : files) {
        const std::string text = read_file(SOURCE_ROOT "/dist/" + file);
        EXPECT_TRUE(text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) << file;
        for (std::size_t at = text.find('\n'); at != std::string::npos;
             at = text.find('\n', at + 1))
            ASSERT_TRUE(at > 0 && text[at - 1] == '\r') << file << " byte " << at;
    }
}

}  // namespace
