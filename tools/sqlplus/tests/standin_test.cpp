// The built sqlplus stand-in run as a child process: standard input from a
// file, a scratch folder as drive C:, the transcript in a scratch file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out;
    long input_used = -1;  // bytes of standard input the program consumed
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Windows text: every line ends in CR LF.
std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

class StandIn : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/sqlplus-standin-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        fs::create_directories(root_ / "c");
        fs::create_directories(root_ / "work");
    }
    void TearDown() override {
        fs::remove_all(root_);
    }

    // Writes a file under drive C: ("app\\x.sql") with CR LF line ends.
    void write_c(const std::string& windows_path, const std::string& text) {
        write(root_ / "c", windows_path, text);
    }
    void write_work(const std::string& windows_path, const std::string& text) {
        write(root_ / "work", windows_path, text);
    }

    Result run(const std::vector<std::string>& args, const std::string& input,
               bool transcript_env = true) {
        const fs::path input_path = root_ / "stdin.txt";
        std::ofstream(input_path, std::ios::binary) << input;
        const fs::path out_path = root_ / "stdout.txt";
        const int in = open(input_path.c_str(), O_RDONLY);
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        Result result;
        if (in < 0 || out < 0) return result;
        std::vector<std::string> words{SQLPLUS_EXE};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        const std::string drive = (root_ / "c").string();
        const std::string transcript = (root_ / "transcript.log").string();
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(in, 0);
            dup2(out, 1);
            dup2(out, 2);
            if (chdir((root_ / "work").c_str()) != 0) _exit(126);
            setenv("SETUP_DRIVE_C", drive.c_str(), 1);
            if (transcript_env) {
                setenv("SQLPLUS_TRANSCRIPT", transcript.c_str(), 1);
            } else {
                unsetenv("SQLPLUS_TRANSCRIPT");
            }
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.input_used =
            static_cast<long>(lseek(in, 0, SEEK_CUR));  // the child shared this offset
        close(in);
        close(out);
        result.out = slurp(out_path);
        return result;
    }

    std::string transcript() {
        return slurp(root_ / "transcript.log");
    }

    // The transcript lines that start with the given tag.
    std::vector<std::string> transcript_lines(const std::string& tag) {
        std::vector<std::string> lines;
        std::istringstream in(transcript());
        for (std::string line; std::getline(in, line);) {
            if (line.compare(0, tag.size(), tag) == 0) lines.push_back(line);
        }
        return lines;
    }

    fs::path root_;

  private:
    static void write(const fs::path& base, std::string windows_path, const std::string& text) {
        for (char& c : windows_path) {
            if (c == '\\') c = '/';
        }
        const fs::path path = base / windows_path;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << crlf(text);
    }
};

// The project's expected files: the generated scripts of a default install
// and the scripts it runs, as the transcript names them.
std::string golden(const std::string& name) {
    return slurp(fs::path(SOURCE_ROOT) / "tests" / "golden" / name);
}

TEST_F(StandIn, RunsTheDemoInstallWithItsArgumentsAndNeverShowsPasswords) {
    const fs::path app_home = root_ / "c" / "XEPDB1" / "QUARNDEL";
    fs::create_directories(app_home / "config");
    std::ofstream(app_home / "config" / "set_env.sql", std::ios::binary) << golden("set_env.sql");
    fs::copy(fs::path(SOURCE_ROOT) / "dist" / "install", app_home / "install");
    std::ofstream(app_home / "install" / "auto_install.sql", std::ios::binary)
        << golden("auto_install.sql");
    const std::string answers = "Owner#Pass-61\r\nConnect#Pass-62\r\nSys#Pass-63\r\n";
    const Result r = run({"/", "as", "sysdba", "@C:\\XEPDB1\\QUARNDEL\\install\\auto_install.sql"},
                         answers + "left for the next program\n");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.input_used, static_cast<long>(answers.size())) << "read beyond the three answers";
    EXPECT_NE(r.out.find("this is not an Oracle database"), std::string::npos);
    EXPECT_EQ(r.out.find("SP2-"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("ORA-"), std::string::npos) << r.out;

    std::vector<std::string> scripts;
    std::istringstream expected(golden("default_install_scripts.txt"));
    for (std::string line; std::getline(expected, line);) scripts.push_back(line);
    EXPECT_EQ(transcript_lines("SCRIPT"), scripts);

    const std::vector<std::string> connects = transcript_lines("CONNECT");
    ASSERT_FALSE(connects.empty());
    EXPECT_EQ(connects.front(), "CONNECT SYS/********@//localhost:1521/XEPDB1 AS SYSDBA");
    const std::string log = transcript();
    EXPECT_NE(log.find("SQL CREATE USER QUARNDEL IDENTIFIED BY \"********\""), std::string::npos);
    EXPECT_NE(log.find("CREATE OR REPLACE DIRECTORY QUARNDEL_data AS 'C:\\XEPDB1\\QUARNDEL\\data'"),
              std::string::npos);
    EXPECT_NE(log.find("PLSQL CREATE OR REPLACE PACKAGE BODY lending_api AS"), std::string::npos);
    EXPECT_NE(log.find("SQL ALTER USER QUARNDEL ACCOUNT LOCK\n"), std::string::npos);
    EXPECT_EQ(transcript_lines("EXIT"), std::vector<std::string>{"EXIT 0"});
    EXPECT_EQ(count_occurrences(log, "NOT-SENT"), 0u);
    for (const char* secret : {"Owner#Pass-61", "Connect#Pass-62", "Sys#Pass-63", "Pass-6"}) {
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
        EXPECT_EQ(r.out.find(secret), std::string::npos) << secret;
    }
}

TEST_F(StandIn, TypedValuesAreUsedForRealButShownMasked) {
    write_c("app\\main.sql", R"(ACCEPT target HIDE PROMPT 'Script: '
ACCEPT code NUMBER PROMPT 'Code: '
DEFINE copy = &target
DEFINE
@@&copy "&code"
EXIT &code
)");
    write_c("app\\hidden_target_77.sql", "PROMPT child got [&1]\nCREATE TABLE t&1 (x NUMBER);\n");
    const Result r =
        run({"/", "AS", "SYSDBA", "@C:\\app\\main.sql"}, "hidden_target_77\nabc\n42\n");
    EXPECT_EQ(r.status, 42) << r.out;  // the real value reached EXIT
    EXPECT_NE(r.out.find("child got [********]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("SP2-0425: \"********\" is not a valid NUMBER"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("DEFINE COPY            = \"********\" (CHAR)"), std::string::npos)
        << r.out;
    EXPECT_NE(transcript().find("SCRIPT C:\\app\\********.sql \"********\"\n"), std::string::npos)
        << transcript();
    EXPECT_NE(transcript().find("SQL CREATE TABLE t******** (x NUMBER)\n"), std::string::npos);
    EXPECT_EQ(transcript_lines("EXIT"), std::vector<std::string>{"EXIT ********"});
    for (const std::string& text : {r.out, transcript()}) {
        EXPECT_EQ(text.find("hidden_target"), std::string::npos);
        EXPECT_EQ(text.find("abc"), std::string::npos);
    }
}

TEST_F(StandIn, EscapeCharacterKeepsAmpersandsAndBackslashes) {
    write_c("R&D\\go.sql", R"(SET ESCAPE ON
DEFINE root = "C:\\R\&D"
PROMPT [&root] [\&root] [\\] [&root..sql]
@'&root\\child' 'one two' three
SET ESCAPE OFF
PROMPT [\&root]
EXIT
)");
    write_c("R&D\\child.sql", "PROMPT child [&1] [&2]\n");
    const Result r = run({"/", "as", "sysdba", "@C:\\R&D\\go.sql"}, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("[C:\\R&D] [&root] [\\] [C:\\R&D.sql]\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("child [one two] [three]\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[\\C:\\R&D]\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Enter value"), std::string::npos) << r.out;
    EXPECT_EQ(transcript_lines("SCRIPT C:\\R&D\\child.sql"),
              std::vector<std::string>{"SCRIPT C:\\R&D\\child.sql \"one two\" \"three\""});
}

TEST_F(StandIn, DoubleAtIsRelativeToTheScriptSingleAtToTheWorkingFolder) {
    write_c("app\\main.sql", "@@sub\\inner \"a b\" 'c' d\n@helper\nPROMPT main done\nEXIT\n");
    write_c("app\\sub\\inner.sql", "PROMPT inner [&1] [&2] [&3]\n@@deeper.sql\n");
    write_c("app\\sub\\deeper.sql", "PROMPT deeper ran\n");
    write_c("app\\helper.sql", "PROMPT wrong helper\n");
    write_work("helper.sql", "PROMPT helper from the working folder\n");
    const Result r = run({"/", "as", "sysdba", "@C:\\app\\main.sql"}, "");
    EXPECT_EQ(r.status, 0);
    const std::size_t inner = r.out.find("inner [a b] [c] [d]");
    const std::size_t deeper = r.out.find("deeper ran");
    const std::size_t helper = r.out.find("helper from the working folder");
    const std::size_t done = r.out.find("main done");
    ASSERT_NE(done, std::string::npos) << r.out;
    EXPECT_TRUE(inner < deeper && deeper < helper && helper < done) << r.out;
    EXPECT_EQ(r.out.find("wrong helper"), std::string::npos);
    EXPECT_EQ(transcript_lines("SCRIPT"),
              (std::vector<std::string>{"SCRIPT C:\\app\\main.sql",
                                        "SCRIPT C:\\app\\sub\\inner.sql \"a b\" \"c\" \"d\"",
                                        "SCRIPT C:\\app\\sub\\deeper.sql", "SCRIPT helper.sql"}));
}

TEST_F(StandIn, MissingScriptIsReportedAndTheRunGoesOn) {
    write_c("app\\main.sql", "@@nothere\n@C:\\gone\\x.sql 1 2\nPROMPT still running\nEXIT 4\n");
    const Result r = run({"/", "as", "sysdba", "@C:\\app\\main.sql"}, "");
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.out.find("SP2-0310: unable to open file \"C:\\app\\nothere.sql\""),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("SP2-0310: unable to open file \"C:\\gone\\x.sql\""), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("still running"), std::string::npos);
    EXPECT_EQ(transcript_lines("SCRIPT"), std::vector<std::string>{"SCRIPT C:\\app\\main.sql"});
}

TEST_F(StandIn, RunawayNestingStopsAtTwentyLevels) {
    write_c("self.sql", "PROMPT level\n@@self\n");
    const Result r = run({"/", "as", "sysdba", "@C:\\self.sql"}, "EXIT 5\n");
    EXPECT_EQ(r.status, 5) << r.out;  // came back to the prompt after the refusal
    EXPECT_EQ(count_occurrences(r.out, "level\n"), 20u);
    EXPECT_EQ(count_occurrences(r.out, "SP2-0309"), 1u);
}

TEST_F(StandIn, ExitStatuses) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"EXIT 7", 7},       {"EXIT FAILURE", 1},      {"exit success;", 0},
        {"QUIT WARNING", 2}, {"EXIT not_a_status", 1}, {"EXIT 3 ROLLBACK", 3}};
    for (const auto& c : cases) {
        write_c("x.sql", c.first + "\nEXIT 99\n");
        EXPECT_EQ(run({"/", "as", "sysdba", "@C:\\x.sql"}, "").status, c.second) << c.first;
    }
}

TEST_F(StandIn, ExitInANestedScriptEndsTheProgram) {
    write_c("outer.sql", "@@inner\nPROMPT after inner\nEXIT\n");
    write_c("inner.sql", "EXIT 3\n");
    const Result r = run({"/", "as", "sysdba", "@C:\\outer.sql"}, "PROMPT from input\n");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out.find("after inner"), std::string::npos);
    EXPECT_EQ(r.input_used, 0);
}

TEST_F(StandIn, AfterTheScriptCommandsComeFromStandardInput) {
    write_c("x.sql", "DEFINE x = 5\n");
    const std::string typed = "PROMPT value &x\r\nEXIT 6\n";
    const Result r = run({"/", "as", "sysdba", "@C:\\x.sql"}, typed + "PROMPT never\n");
    EXPECT_EQ(r.status, 6);
    EXPECT_NE(r.out.find("SQL> value 5\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.input_used, static_cast<long>(typed.size()));

    const Result eof = run({"/nolog"}, "PROMPT only this\n");
    EXPECT_EQ(eof.status, 0);
    EXPECT_NE(eof.out.find("only this"), std::string::npos);
    EXPECT_EQ(transcript_lines("EXIT").back(), "EXIT 0 (end of input)");
}

TEST_F(StandIn, StatementsEndAtSemicolonSlashOrBlankLineAsInSqlPlus) {
    write_c("s.sql", R"(/* a comment block that would
   ask for &never and EXIT 9 if it ran */
-- &never either
REM &nor this
CREATE TABLE a (x NUMBER);
select 1
from dual
/
BEGIN
  NULL;

END;
/
INSERT INTO a VALUES (1)

/
DECLARE x NUMBER; BEGIN x := 1; END;
.
UPDATE a SET x = 2;
/
EXIT
)");
    const Result r = run({"/", "as", "sysdba", "@C:\\s.sql"}, "");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("Enter value"), std::string::npos) << r.out;
    std::vector<std::string> statements;
    std::istringstream in(transcript());
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("SQL", 0) == 0 || line.rfind("PLSQL", 0) == 0 || line.rfind("  |", 0) == 0) {
            statements.push_back(line);
        }
    }
    EXPECT_EQ(statements,
              (std::vector<std::string>{"SQL CREATE TABLE a (x NUMBER)", "SQL select 1",
                                        "  | from dual", "PLSQL BEGIN", "  |   NULL;", "  | ",
                                        "  | END;", "SQL INSERT INTO a VALUES (1)",
                                        "SQL UPDATE a SET x = 2", "SQL UPDATE a SET x = 2"}));
    EXPECT_NE(r.out.find("Table created."), std::string::npos);
    EXPECT_NE(r.out.find("PL/SQL procedure successfully completed."), std::string::npos);
}

TEST_F(StandIn, StatementsWithoutAConnectionAreNotSent) {
    write_c("s.sql", "CREATE TABLE a (x NUMBER);\nCONNECT u/p@db\nDROP TABLE a;\nEXIT\n");
    const Result r = run({"/nolog", "@C:\\s.sql"}, "");
    EXPECT_NE(r.out.find("SP2-0640: Not connected"), std::string::npos);
    EXPECT_NE(transcript().find("NOT-SENT SQL CREATE TABLE a (x NUMBER)\n"), std::string::npos);
    EXPECT_NE(transcript().find("CONNECT u/********@db\nSQL DROP TABLE a\n"), std::string::npos);
}

TEST_F(StandIn, AmpersandAsksEveryTimeDoubleAmpersandOnceAndMasksTheAnswers) {
    write_c("s.sql", "@@&&a\n@@&&a\n@@&b\n@@&b\nPROMPT [&a]\nEXIT\n");
    for (const char* name : {"one", "two", "three"})
        write_c(std::string(name) + ".sql", std::string("PROMPT ran ") + name + "\n");
    const Result r = run({"/", "as", "sysdba", "@C:\\s.sql"}, "one\ntwo\nthree\n");
    EXPECT_EQ(count_occurrences(r.out, "Enter value for a: "), 1u);
    EXPECT_EQ(count_occurrences(r.out, "Enter value for b: "), 2u);
    const std::size_t one = r.out.find("ran one");
    const std::size_t again = r.out.find("ran one", one + 1);
    const std::size_t two = r.out.find("ran two");
    const std::size_t three = r.out.find("ran three");
    ASSERT_NE(three, std::string::npos) << r.out;
    EXPECT_TRUE(one < again && again < two && two < three) << r.out;
    EXPECT_NE(r.out.find("[********]"), std::string::npos);
    EXPECT_EQ(count_occurrences(transcript(), "SCRIPT C:\\********.sql"), 4u);
}

TEST_F(StandIn, NullPasswordLogonFailsAndWheneverSqlerrorExits) {
    write_c("s.sql",
            "WHENEVER SQLERROR EXIT 9\nACCEPT p PROMPT 'pw: ' HIDE\nCONNECT app/&p@db\nPROMPT "
            "still here\n");
    const Result r = run({"/", "as", "sysdba", "@C:\\s.sql"}, "");
    EXPECT_EQ(r.status, 9) << r.out;
    EXPECT_NE(r.out.find("ORA-01005"), std::string::npos);
    EXPECT_EQ(r.out.find("still here"), std::string::npos);
    EXPECT_EQ(transcript_lines("CONNECT"),
              std::vector<std::string>{"CONNECT app/********@db FAILED ORA-01005"});
}

TEST_F(StandIn, TranscriptDefaultsToTheWorkingFolderAndIsAppended) {
    run({"/", "as", "sysdba"}, "EXIT\n", false);
    run({"/", "as", "sysdba"}, "EXIT 2\n", false);
    const std::string log = slurp(root_ / "work" / "sqlplus-transcript.log");
    EXPECT_EQ(count_occurrences(log, "SESSION "), 2u);
    EXPECT_NE(log.find("EXIT 0\n"), std::string::npos);
    EXPECT_NE(log.find("EXIT 2\n"), std::string::npos);
}

}  // namespace
