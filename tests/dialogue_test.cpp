// The whole program driven through its standard input: the dialogue, its
// transcript and install.log, byte for byte.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/prompts.h"
#include "tests/test_support.h"

namespace {

const std::string DEFAULTS = default_answers(QUESTION_COUNT);

// One line of garbage, four times the program's largest buffer (a host path
// of 4096 bytes) and far beyond every answer's field: printable text around
// random bytes, no line feed and no NUL (a NUL marks UTF-16 input, refused
// before any answer). The answers are read a byte at a time, so a longer
// line only makes the test slower.
const std::size_t GARBAGE_SIZE = 16 * 1024;
std::string garbage() {
    const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text(GARBAGE_SIZE, ' ');
    std::mt19937 random(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = static_cast<char>(random());
        const bool printable = i < text.size() / 4 || i >= text.size() * 3 / 4;
        text[i] = printable ? letters[c & 63] : c == '\n' || c == '\0' ? ' ' : c;
    }
    return text;
}

// Every file of the folder with its content.
std::string tree_of(const std::string& folder) {
    std::string tree;
    for (const std::string& file : list_files_recursively(folder))
        tree += file + "\n" + read_file(folder + "/" + file) + "\n";
    return tree;
}

class Dialogue : public ScratchDrives {
  protected:
    void SetUp() override {
        drive_c = make_drive_c();
        dist = make_distribution(scratch.path());
        // A SQL*Plus that succeeds silently: the database is not what these tests check.
        sqlplus_folder = make_fake_sqlplus();
    }

    ProgramRun run(const std::string& input, const std::string& folder = "") {
        return run_program({dist + "/setup"}, input, folder.empty() ? scratch.path() : folder,
                           {path_starting_with(sqlplus_folder)});
    }

    std::string log() {
        return read_file(scratch / "install.log");
    }

    // The banner and introduction, the first thing the program prints.
    std::string intro(const std::string& banner_line) {
        return "********************************************\n"
               "*      ORACLE DEMO APPLICATION SETUP       *\n" +
               banner_line +
               "\n********************************************\n"
               "This program will install the Oracle demo application.\n\n"
               "Prerequisites:\n"
               "You must install Oracle Express first.\n\n"
               "You will be prompted to enter a set of parameters to configure the demo schema, "
               "and "
               "specify the installation location.\n\n";
    }

    // What the program prints from its start to the confirmation question,
    // for the given echo values, with every answer taken by default.
    std::string dialogue_until_confirmation(const std::string& banner_line) {
        return intro(banner_line) + PROMPTS[0].question() + PROMPTS[1].question() +
               PROMPTS[2].question() + PROMPTS[3].question() +
               "\nSpecify the application home directory APP_HOME. Include the drive, separate "
               "each "
               "directory with a single \\. \n"
               "Do not end with a \\ unless specifying just the drive root e.g. D:\\ \n"
               "You may include spaces and ampersands & in the APP_HOME path. \n"
               "Do not include quotes \" \n" +
               PROMPTS[4].question() +
               "\nSpecify the data home directory DATA_HOME. Include the drive, separate each "
               "directory with a single \\. \n"
               "Do not end with a \\ unless specifying just the drive root e.g. D:\\ \n"
               "Spaces are not allowed in this path.\n"
               "Do not include ampersands &. \n"
               "Do not include quotes \". \n" +
               PROMPTS[5].question() +
               "SETUP PARAMETERS\n"
               "================\n" +
               echo_lines() + "\nDo you want to continue with the installation (Y or N)?";
    }

    std::string echo_lines() {
        return "Source files extracted to: " + windows_path(dist) +
               "\n"
               "DBSERVICE = XEPDB1\n"
               "Listener port = 1521\n"
               "Database connection string = //localhost:1521/XEPDB1\n"
               "APP_OWNER = QUARNDEL\n"
               "CONNECT_USER = DEMO_CONNECT\n"
               "APP_HOME directory = C:\\XEPDB1\\QUARNDEL\n"
               "SQL_APP_HOME directory = C:\\\\XEPDB1\\\\QUARNDEL\n"
               "DATA_HOME directory = C:\\XEPDB1\\QUARNDEL\\data\n"
               "SQL_DATA_HOME directory = C:\\\\XEPDB1\\\\QUARNDEL\\\\data\n";
    }

    std::string log_until_confirmation() {
        std::string echo = echo_lines();
        return "ORACLE QUARNDEL INSTALLATION LOG\nSetup started from directory: " +
               windows_path(dist) + "\n" + echo;
    }

    // The banner's third line, checked for its frame.
    std::string banner_line(const std::string& output) {
        std::size_t start = output.find('\n', output.find("SETUP       *")) + 1;
        std::string line = output.substr(start, output.find('\n', start) - start);
        EXPECT_EQ(line.size(), 44u);
        EXPECT_EQ(line.front(), '*');
        EXPECT_EQ(line.back(), '*');
        return line;
    }

    std::string drive_c;
    std::string dist;
    std::string sqlplus_folder;
};

TEST_F(Dialogue, DefaultRunPrintsAndLogsExactly) {
    ProgramRun result = run(default_answers() + "\n");
    ASSERT_EQ(result.exit_status, 0) << result.output;
    std::string expected =
        dialogue_until_confirmation(banner_line(result.output)) +
        "Creating APP_HOME. Copying files from " + windows_path(dist) +
        " to C:\\XEPDB1\\QUARNDEL...\n"
        "\n\n\n\n\n"  // one line break as each of the five folders ends
        "APP_HOME created.\n\n"
        "Creating DATA_HOME. Copying files from " +
        windows_path(dist) +
        "\\data to C:\\XEPDB1\\QUARNDEL\\data...\n"
        "\n"
        "DATA_HOME created.\n\n"
        "Creating C:\\XEPDB1\\QUARNDEL\\config\\set_env.sql...\n"
        "SQL script generated: C:\\XEPDB1\\QUARNDEL\\config\\set_env.sql\n"
        "SQL script set_env.sql created.\n"
        "Creating C:\\XEPDB1\\QUARNDEL\\config\\set_env.bat...\n"
        "Script generated: C:\\XEPDB1\\QUARNDEL\\config\\set_env.bat\n"
        "Script set_env.bat created.\n"
        "Creating C:\\XEPDB1\\QUARNDEL\\install\\auto_install.sql...\n"
        "SQL script generated: C:\\XEPDB1\\QUARNDEL\\install\\auto_install.sql\n"
        "SQL Script auto_install.sql created.\n"
        "Creating database objects.\n"
        "Executing: sqlplus / as sysdba @\"C:\\XEPDB1\\QUARNDEL\\install\\auto_install.sql\"\n"
        "Shortcut created on Desktop: QUARNDEL.lnk\n"
        "\nINSTALLATION SUMMARY:\n"
        "=====================\n"
        "Database Service  : XEPDB1\n"
        "Application Owner : QUARNDEL\n"
        "Connection User   : DEMO_CONNECT\n"
        "Application Home  : C:\\XEPDB1\\QUARNDEL\n"
        "Data Home         : C:\\XEPDB1\\QUARNDEL\\data\n"
        "Setup Log         : install.log\n"
        "\n\nInstallation complete. Press RETURN to exit.\n";
    EXPECT_EQ(result.output, expected);

    // The log: every entry in order; the copied files in enumeration order,
    // so they are compared as a set below.
    std::string full_log = log();
    std::string without_copies;
    std::vector<std::string> copies;
    for (std::size_t start = 0; start < full_log.size();) {
        std::size_t end = full_log.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "every entry ends in CR LF";
        std::string line = full_log.substr(start, end - start);
        if (line.rfind("Copied file: ", 0) == 0) {
            copies.push_back(line);
        } else {
            without_copies += line + "\n";
        }
        start = end + 2;
    }
    EXPECT_EQ(
        without_copies,
        log_until_confirmation() +
            "User confirmed installation to continue.\n"
            "APP_HOME created.\n"
            "DATA_HOME created.\n"
            "SQL script set_env.sql created.\n"
            "Script set_env.bat created.\n"
            "SQL script auto_install.sql created.\n"
            "Executing: sqlplus / as sysdba @\"C:\\XEPDB1\\QUARNDEL\\install\\auto_install.sql\"\n"
            "Database objects created.\n"
            "Shortcut created on Desktop: QUARNDEL.lnk\n\n"
            "\nINSTALLATION SUMMARY:\n\n"
            "=====================\n\n"
            "Database Service  : XEPDB1\n\n"
            "Application Owner : QUARNDEL\n\n"
            "Connection User   : DEMO_CONNECT\n\n"
            "Application Home  : C:\\XEPDB1\\QUARNDEL\n\n"
            "Data Home         : C:\\XEPDB1\\QUARNDEL\\data\n\n"
            "Setup Log         : install.log\n\n"
            "Installation completed.\n");
    std::string dist_windows = windows_path(dist);
    // The data files twice: into APP_HOME\data with the distribution, then
    // again into DATA_HOME, which with default answers is the same folder.
    std::vector<std::string> expected_copies = {
        "Copied file: " + dist_windows +
            "\\com\\startora.bat -> C:\\XEPDB1\\QUARNDEL\\com\\startora.bat",
        "Copied file: " + dist_windows + "\\data\\one.csv -> C:\\XEPDB1\\QUARNDEL\\data\\one.csv",
        "Copied file: " + dist_windows + "\\data\\one.csv -> C:\\XEPDB1\\QUARNDEL\\data\\one.csv",
        "Copied file: " + dist_windows + "\\data\\two.csv -> C:\\XEPDB1\\QUARNDEL\\data\\two.csv",
        "Copied file: " + dist_windows + "\\data\\two.csv -> C:\\XEPDB1\\QUARNDEL\\data\\two.csv",
        "Copied file: " + dist_windows +
            "\\install\\install_schema.sql -> C:\\XEPDB1\\QUARNDEL\\install\\install_schema.sql",
        "Copied file: " + dist_windows +
            "\\install\\seed_data.sql -> C:\\XEPDB1\\QUARNDEL\\install\\seed_data.sql",
        "Copied file: " + dist_windows +
            "\\install\\compile_packages.sql -> "
            "C:\\XEPDB1\\QUARNDEL\\install\\compile_packages.sql",
        "Copied file: " + dist_windows +
            "\\install\\lock_schema.sql -> C:\\XEPDB1\\QUARNDEL\\install\\lock_schema.sql",
        "Copied file: " + dist_windows + "\\setup -> C:\\XEPDB1\\QUARNDEL\\setup",
    };
    std::sort(copies.begin(), copies.end());
    std::sort(expected_copies.begin(), expected_copies.end());
    EXPECT_EQ(copies, expected_copies);
}

TEST_F(Dialogue, AnsweringNAbandonsWithTheExactLog) {
    ProgramRun result = run(std::string(DEFAULTS) + "N\n");
    EXPECT_EQ(result.exit_status, 255);
    EXPECT_EQ(result.output, dialogue_until_confirmation(banner_line(result.output)) +
                                 "Installation abandoned.\n");
    EXPECT_EQ(log(), crlf(log_until_confirmation() + "Installation abandoned.\n"));
    EXPECT_FALSE(file_exists(drive_c + "/XEPDB1")) << "nothing is copied before confirmation";
}

TEST_F(Dialogue, ConfirmationTakesOneCharacterPerAttempt) {
    const std::string invalid = "Invalid input. Please enter 'Y' for Yes or 'N' for No.\n";
    ProgramRun lower_y = run(std::string(DEFAULTS) + "y\n\n");
    EXPECT_EQ(lower_y.exit_status, 0);
    EXPECT_NE(log().find("User confirmed installation to continue."), std::string::npos);

    ProgramRun lower_n = run(std::string(DEFAULTS) + "n\n");
    EXPECT_EQ(lower_n.exit_status, 255);

    ProgramRun xn = run(std::string(DEFAULTS) + "xn\n");
    EXPECT_EQ(xn.exit_status, 255);
    EXPECT_EQ(count_occurrences(xn.output, invalid), 1u);
    EXPECT_NE(xn.output.find("(Y or N)?" + invalid +
                             "Do you want to continue with the installation (Y or N)?"
                             "Installation abandoned."),
              std::string::npos);

    // "yes": Y is taken, "es" and the line break are the rest of the line,
    // which the final wait discards before waiting for one more RETURN.
    ProgramRun yes = run(std::string(DEFAULTS) + "yes\n\n");
    EXPECT_EQ(yes.exit_status, 0);
    EXPECT_EQ(count_occurrences(yes.output, invalid), 0u);
}

TEST_F(Dialogue, OverlongAnswersAreRefusedWholeAndAskedAgain) {
    const std::string twenty(20, 'S');
    const std::string nineteen(19, 'O');
    ProgramRun result = run(twenty + "REST\nMYSERVICE\n" + nineteen + "\n\n123456\n12345\n\n\nN\n");
    EXPECT_EQ(result.exit_status, 255);
    EXPECT_EQ(
        count_occurrences(result.output,
                          "Error: The answer is too long: at most 19 characters are allowed.\n"),
        1u);
    EXPECT_EQ(
        count_occurrences(result.output,
                          "Error: The answer is too long: at most 5 characters are allowed.\n"),
        1u);
    EXPECT_EQ(count_occurrences(result.output, PROMPTS[0].text), 2u);
    EXPECT_NE(result.output.find("DBSERVICE = MYSERVICE\n"), std::string::npos);
    EXPECT_NE(result.output.find("APP_OWNER = " + nineteen + "\n"), std::string::npos);
    EXPECT_NE(result.output.find("Listener port = 12345\n"), std::string::npos);
    EXPECT_NE(result.output.find("APP_HOME directory = C:\\MYSERVICE\\" + nineteen + "\n"),
              std::string::npos);

    // A line longer than a path at a directory prompt, then after an error.
    const std::string huge(5000, 'x');
    ProgramRun paths =
        run("\n\n\n\n" + huge + "\nC:\\missing\n" + huge + "\n\n" + huge + "\nC:\\\n\nN\n");
    EXPECT_EQ(paths.exit_status, 255);
    EXPECT_EQ(count_occurrences(paths.output, "at most 259 characters are allowed."), 3u);
    EXPECT_NE(paths.output.find("APP_HOME directory = C:\\XEPDB1\\QUARNDEL\n"), std::string::npos);
}

TEST_F(Dialogue, EndOfInputAtAnyReadAbandons) {
    // The input ends at each prompt, at the confirmation, and after white
    // space only there; then after a refused directory answer at either
    // directory prompt, and inside the first answer.
    struct Case {
        std::string input;
        std::size_t prompts_shown;
    };
    std::vector<Case> cases = {{DEFAULTS, QUESTION_COUNT},
                               {DEFAULTS + "   ", QUESTION_COUNT},
                               {"\n\n\n\nC:\\missing\n", 5},
                               {"\n\n\n\n\nC:\\missing\n", 6},
                               {"XEPDB2", 2}};
    for (std::size_t k = 0; k < QUESTION_COUNT; ++k) cases.push_back({default_answers(k), k + 1});
    for (const auto& c : cases) {
        std::remove((scratch / "install.log").c_str());
        ProgramRun result = run(c.input);
        const std::string shown = "input " + ::testing::PrintToString(c.input);
        EXPECT_EQ(result.exit_status, 255) << shown;
        EXPECT_EQ(count_occurrences(result.output, "(Press Enter for default: "), c.prompts_shown)
            << shown;
        const std::string end = c.input.find("missing") != std::string::npos
                                    ? "please enter a valid path: \nInstallation abandoned.\n"
                                    : "\nInstallation abandoned.\n";
        EXPECT_EQ(result.output.substr(result.output.size() - end.size()), end) << shown;
        std::string log_text = log();
        EXPECT_EQ(log_text.substr(log_text.size() - 25), "Installation abandoned.\r\n") << shown;
        EXPECT_EQ(log_text.find("User confirmed"), std::string::npos) << shown;
        EXPECT_FALSE(file_exists(drive_c + "/XEPDB1")) << shown;
    }
    EXPECT_NE(run(DEFAULTS).output.find(echo_lines()), std::string::npos);

    // End of input during the final wait ends the run normally.
    ProgramRun wait = run(std::string(DEFAULTS) + "Y");
    EXPECT_EQ(wait.exit_status, 0);
    EXPECT_NE(log().find("Installation completed.\r\n"), std::string::npos);
}

// A line of garbage at each answer prompt: refused once as too long, never
// echoed, and asked again; then the end of the input, or the defaults.
TEST_F(Dialogue, ALineOfGarbageIsRefusedAtEveryPrompt) {
    const std::string junk = garbage() + "\n";
    const std::string before = tree_of(dist);
    const int limits[] = {19, 19, 19, 5, 259, 259};  // of the questions in order
    for (std::size_t k = 0; k < std::size(limits); ++k) {
        const std::string too_long =
            "too long: at most " + std::to_string(limits[k]) + " characters are allowed.";
        const std::string answered = std::string(k, '\n') + junk;
        for (const std::string& rest :
             {std::string(), std::string(QUESTION_COUNT - k, '\n') + "N\n"}) {
            std::remove((scratch / "install.log").c_str());
            ProgramRun result = run(answered + rest);
            const std::string shown =
                "prompt " + std::to_string(k + 1) + (rest.empty() ? "" : ", then N");
            EXPECT_EQ(result.exit_status, 255) << shown;
            EXPECT_LT(result.output.size(), GARBAGE_SIZE / 4)
                << shown << ": the garbage was echoed";
            EXPECT_EQ(count_occurrences(result.output, too_long), 1u) << shown;
            EXPECT_EQ(count_occurrences(result.output, PROMPTS[k].text), 2u) << shown;
            EXPECT_EQ(result.output.substr(result.output.size() - 24), "Installation abandoned.\n");
            if (!rest.empty()) {
                EXPECT_NE(result.output.find(echo_lines()), std::string::npos) << shown;
                EXPECT_EQ(log(), crlf(log_until_confirmation() + "Installation abandoned.\n"))
                    << shown;
            }
        }
    }
    // As the second try after a refused directory answer.
    ProgramRun retry = run("\n\n\n\nC:\\missing\n" + junk + "C:\\\n\nN\n");
    EXPECT_EQ(retry.exit_status, 255);
    EXPECT_LT(retry.output.size(), GARBAGE_SIZE / 4);
    EXPECT_NE(retry.output.find("\nERROR: Directory does not exist, please enter a valid path: "
                                "\nERROR: The directory path is too long: at most 259 characters "
                                "are allowed. Please enter a valid path: "),
              std::string::npos);
    EXPECT_NE(retry.output.find(echo_lines()), std::string::npos);

    // At the first prompt, then the defaults and Y: a complete installation.
    ProgramRun install = run(junk + DEFAULTS + "Y\n\n");
    EXPECT_EQ(install.exit_status, 0);
    EXPECT_EQ(count_occurrences(install.output, "too long: at most 19 characters"), 1u);
    EXPECT_NE(install.output.find(echo_lines()), std::string::npos);
    EXPECT_NE(install.output.find("Installation complete. Press RETURN to exit."),
              std::string::npos);
    for (const std::string& file : list_files_recursively(dist))
        EXPECT_EQ(read_file(drive_c + "/XEPDB1/QUARNDEL/" + file), read_file(dist + "/" + file))
            << file;
    EXPECT_EQ(tree_of(dist), before) << "the distribution was changed";
}

// A line of garbage holding no Y or N at the confirmation, then N or the
// end of the input: refused, and the run abandoned with nothing copied.
TEST_F(Dialogue, ALineOfGarbageAtTheConfirmationIsRefused) {
    std::string junk = garbage();
    std::replace_if(
        junk.begin(), junk.end(),
        [](char c) { return std::strchr("yYnN", c) != nullptr && c != '\0'; }, 'x');
    const std::size_t characters = std::count_if(junk.begin(), junk.end(), [](char c) {
        return std::strchr(" \t\r\v\f", c) == nullptr || c == '\0';
    });
    const std::string invalid = "Invalid input. Please enter 'Y' for Yes or 'N' for No.\n";
    for (const std::string& rest : {std::string("\n"), std::string("\nN\n")}) {
        std::remove((scratch / "install.log").c_str());
        ProgramRun result = run(DEFAULTS + junk + rest);
        EXPECT_EQ(result.exit_status, 255);
        const std::size_t refusals = count_occurrences(result.output, invalid);
        EXPECT_GE(refusals, 1u);
        EXPECT_LE(refusals, characters);
        EXPECT_NE(result.output.find(echo_lines()), std::string::npos);
        EXPECT_EQ(result.output.substr(result.output.size() - 24), "Installation abandoned.\n");
        EXPECT_EQ(log(), crlf(log_until_confirmation() + "Installation abandoned.\n"));
        EXPECT_FALSE(file_exists(drive_c + "/XEPDB1"));
    }
}

TEST_F(Dialogue, DirectoryAnswersAreCheckedAsTyped) {
    make_folders(drive_c + "/with blank");
    make_folders(drive_c + "/a&b");
    make_folders(drive_c + "/apps");
    const std::string missing = "\nERROR: Directory does not exist, please enter a valid path: ";
    const std::string special =
        "\nERROR: The directory path must not contain spaces or &. Please enter a valid path: ";
    // Application directory: missing, trailing backslash, then an empty line
    // (no default after an error), then a path with a blank (accepted there).
    // Data directory: existing with a blank, then with an ampersand (second
    // message only), missing with a blank (both, in order), then a good answer.
    ProgramRun result =
        run("\n\n\n\nC:\\nowhere\nC:\\apps\\\n\nC:\\with blank\n"
            "C:\\with blank\nC:\\a&b\nC:\\no where\nC:\\apps\nN\n");
    EXPECT_EQ(result.exit_status, 255);
    EXPECT_NE(result.output.find("(Press Enter for default: 'C:\\'): " + missing + missing +
                                 missing + "\nSpecify the data home"),
              std::string::npos);
    EXPECT_NE(result.output.find("(Press Enter for default: 'C:\\'): " + special + special +
                                 missing + special + "SETUP PARAMETERS"),
              std::string::npos);
    EXPECT_NE(result.output.find("APP_HOME directory = C:\\with blank\\XEPDB1\\QUARNDEL\n"),
              std::string::npos);
    EXPECT_NE(result.output.find("DATA_HOME directory = C:\\apps\\XEPDB1\\QUARNDEL\\data\n"),
              std::string::npos);
}

TEST_F(Dialogue, CharactersTheScriptsCannotCarryAreRefused) {
    make_folders(drive_c + "/50%");
    make_folders(drive_c + "/a^b");
    make_folders(drive_c + "/it's");
    ProgramRun result =
        run("X&Y\nSVC\nA*B\nOWNER\nU|SER\nUSER\n15 21\n15x\nC:\\50%\nC:\\it's\nC:\\\n"
            "C:\\a^b\nC:\\\nN\n");
    EXPECT_EQ(result.exit_status, 255);
    // The port keeps the shorter list; the three names, which name folders
    // and files, also refuse what Windows refuses in file names.
    EXPECT_EQ(count_occurrences(result.output,
                                "Error: The answer must not contain blanks & | < > ^ % \" '.\n"),
              1u);
    EXPECT_EQ(count_occurrences(
                  result.output,
                  "Error: The answer must not contain blanks & | < > ^ % \" ' \\ / : * ?.\n"),
              3u);
    EXPECT_EQ(count_occurrences(
                  result.output,
                  "\nERROR: The directory path must not contain any of these characters: \" % '."),
              2u);
    EXPECT_EQ(count_occurrences(result.output,
                                "\nERROR: The directory path must not contain any of these "
                                "characters: \" % ' ^ | < >."),
              1u);
    EXPECT_NE(result.output.find("Database connection string = //localhost:15x/SVC\n"),
              std::string::npos);
    EXPECT_NE(result.output.find("APP_HOME directory = C:\\SVC\\OWNER\n"), std::string::npos);
}

// Each directory answer that is no full Windows path, at both prompts in
// turn: refused and asked again. Forward slashes are taken as backslashes.
TEST_F(Dialogue, DirectoryAnswersMustBeFullPaths) {
    make_folders(drive_c + "/x");
    make_folders(scratch / "work");
    const std::string needed =
        "\nERROR: A full path is needed, with its drive (C:\\apps) or network "
        "share (\\\\server\\share\\apps). Please enter a valid path: ";
    for (const char* answer : {"C:x", "C:", ".", "..\\x", "x", "\\x", "/x", "\\\\?\\C:\\x",
                               "\\\\.\\C:\\x", "//?/C:/x"}) {
        ProgramRun result = run(answers_with({{"app installation", std::string(answer) + "\nC:/x"},
                                              {"data directory", std::string(answer) + "\nC:\\x"},
                                              {"(Y or N)", "N"}}),
                                scratch / "work");
        EXPECT_EQ(count_occurrences(result.output, needed), 2u) << answer << result.output;
        EXPECT_NE(result.output.find("APP_HOME directory = C:\\x\\XEPDB1\\QUARNDEL\n"),
                  std::string::npos)
            << answer;
        EXPECT_NE(result.output.find("DATA_HOME directory = C:\\x\\XEPDB1\\QUARNDEL\\data\n"),
                  std::string::npos)
            << answer;
    }
}

// Directory answers are resolved as Windows resolves them before any test:
// nothing is made for a folder that .. removes, trailing dots go, and the
// first new folder of each home gets its list even under umask 000.
TEST_F(Dialogue, DirectoryAnswersAreResolvedAsWindowsResolvesThem) {
    make_folders(drive_c + "/existing");
    make_folders(drive_c + "/x");
    const mode_t saved = umask(0);
    ProgramRun result = run(answers_with({{"app installation", "C:\\new\\..\\existing"},
                                          {"data directory", "c:/x..."}}) +
                            "\n");
    umask(saved);
    EXPECT_EQ(result.exit_status, 0) << result.output;
    EXPECT_NE(result.output.find("APP_HOME directory = C:\\existing\\XEPDB1\\QUARNDEL\n"),
              std::string::npos);
    EXPECT_NE(result.output.find("DATA_HOME directory = C:\\x\\XEPDB1\\QUARNDEL\\data\n"),
              std::string::npos);
    EXPECT_FALSE(file_exists(drive_c + "/new"));
    struct stat status;
    ASSERT_EQ(stat((drive_c + "/existing/XEPDB1").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0755u);
    ASSERT_EQ(stat((drive_c + "/x/XEPDB1").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0755u);
    ASSERT_EQ(stat((drive_c + "/x/XEPDB1/QUARNDEL/data").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0777u) << "DATA_HOME stays writable for users";
}

// DATA_HOME may be neither APP_HOME nor a folder that holds it: the list
// that lets every user change the data would reach the application.
TEST_F(Dialogue, DataHomeThatIsOrHoldsAppHomeIsRefused) {
    make_folders(drive_c + "/data");
    make_folders(drive_c + "/a/data/data/data/x");
    make_folders(drive_c + "/other");
    const struct {
        const char* app_directory;
        const char* data_directory;
        const char* data_home;
    } cases[] = {{"C:\\data", "C:\\", "C:\\data\\data\\data"},
                 {"C:\\a\\data\\data\\data\\x", "C:\\a", "C:\\a\\data\\data\\data"},
                 {"C:\\data", "C:\\DATA\\..", "C:\\data\\data\\data"}};
    for (const auto& c : cases) {
        ProgramRun result = run(std::string("data\ndata\n\n\n") + c.app_directory + "\n" +
                                c.data_directory + "\nC:\\other\nN\n");
        EXPECT_EQ(count_occurrences(result.output,
                                    "\nERROR: DATA_HOME would be " + std::string(c.data_home) +
                                        ", which is APP_HOME or holds it, and every user may "
                                        "change the files of DATA_HOME. Please enter a valid "
                                        "path: "),
                  1u)
            << result.output;
        EXPECT_NE(result.output.find("DATA_HOME directory = C:\\other\\data\\data\\data\n"),
                  std::string::npos);
    }
    // D: is C: under another name: D:\ holds APP_HOME too. D:\data makes
    // DATA_HOME APP_HOME's data folder, whose parent this run makes on C:
    // and the copy then finds under D:, made by this run.
    map_drive('D', drive_c);
    ProgramRun result = run("data\ndata\n\n\nC:\\data\nD:\\\nD:\\data\nY\n\n");
    EXPECT_EQ(result.exit_status, 0) << result.output;
    EXPECT_EQ(count_occurrences(result.output,
                                "\nERROR: DATA_HOME would be D:\\data\\data\\data, "
                                "which is APP_HOME or holds it"),
              1u)
        << result.output;
    struct stat status;
    ASSERT_EQ(stat((drive_c + "/data/data/data/data").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0777u) << "DATA_HOME stays writable for users";
    ASSERT_EQ(stat((drive_c + "/data/data").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0755u);
}

// An existing folder on a home's path that another user owns, or that
// others may write without the sticky bit, is refused and asked again.
const char* const GIVE_IT_AWAY =
    "Choose another directory, or give the folder to the administrators with the icacls "
    "commands in the README. Please enter a valid path: ";

// A link is judged by its owner too, not by its target alone: C:\shared is
// sticky, but nobody may remove their link and put a folder of theirs there.
TEST_F(Dialogue, FolderOwnedByAnotherUserIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can give a folder to another user";
    make_folders(drive_c + "/XEPDB1");
    make_folders(drive_c + "/other");
    make_folders(drive_c + "/shared");
    chmod((drive_c + "/shared").c_str(), 01777);
    ASSERT_EQ(symlink((drive_c + "/other").c_str(), (drive_c + "/shared/apps").c_str()), 0);
    ASSERT_EQ(lchown((drive_c + "/shared/apps").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown((drive_c + "/XEPDB1").c_str(), 65534, 65534), 0);
    ProgramRun result = run(answers_with(
        {{"data directory", "C:\\shared\\apps\nC:\\other\nC:\\other"}, {"(Y or N)", "N"}}));
    for (const char* folder : {"C:\\XEPDB1", "C:\\shared\\apps"})
        EXPECT_EQ(count_occurrences(result.output, "\nERROR: " + std::string(folder) +
                                                       " belongs to nobody, who could change or "
                                                       "replace what is installed there. " +
                                                       std::string(GIVE_IT_AWAY)),
                  1u)
            << result.output;
    EXPECT_NE(result.output.find("APP_HOME directory = C:\\other\\XEPDB1\\QUARNDEL\n"),
              std::string::npos);
}

TEST_F(Dialogue, GroupWritableFolderIsRefused) {
    make_folders(drive_c + "/apps");
    make_folders(drive_c + "/shared");
    make_folders(drive_c + "/x/XEPDB1/QUARNDEL/data");
    chmod((drive_c + "/apps").c_str(), 0775);
    chmod((drive_c + "/shared").c_str(), 01777);  // sticky: nobody removes what is not theirs
    chmod((drive_c + "/x/XEPDB1/QUARNDEL/data").c_str(), 0777);  // a DATA_HOME as made
    struct stat status;
    ASSERT_EQ(stat((drive_c + "/apps").c_str(), &status), 0);
    const std::string group = getgrgid(status.st_gid)->gr_name;
    ProgramRun result = run(answers_with({{"app installation", "C:\\apps"},
                                          {"data directory", "C:\\shared\nC:\\x"},
                                          {"(Y or N)", "N"}}));
    EXPECT_EQ(count_occurrences(result.output, "\nERROR: C:\\apps gives group " + group +
                                                   " the right to change, rename "
                                                   "or replace what is installed there. " +
                                                   std::string(GIVE_IT_AWAY)),
              1u)
        << result.output;
    EXPECT_EQ(count_occurrences(result.output, GIVE_IT_AWAY), 1u) << result.output;
    EXPECT_NE(result.output.find("APP_HOME directory = C:\\shared\\XEPDB1\\QUARNDEL\n"),
              std::string::npos);
    EXPECT_NE(result.output.find("DATA_HOME directory = C:\\x\\XEPDB1\\QUARNDEL\\data\n"),
              std::string::npos);
}

// Answers saved by Notepad as UTF-8 with a byte order mark install as
// without it; UTF-16 (PowerShell's > and Out-File) is refused at once.
TEST_F(Dialogue, AnswerFileEncodings) {
    ProgramRun bom = run("\xEF\xBB\xBF" + std::string(DEFAULTS) + "N\n");
    EXPECT_EQ(bom.output.find("\xEF"), std::string::npos);
    EXPECT_EQ(log(), crlf(log_until_confirmation() + "Installation abandoned.\n"));
    std::remove((scratch / "install.log").c_str());
    // Answer files joined with copy a+b: each part starts with its mark.
    ProgramRun named_first = run("\xEF\xBB\xBFSVC\n\xEF\xBB\xBFOWNER\n\n\n\n\nN\n");
    EXPECT_NE(named_first.output.find("APP_HOME directory = C:\\SVC\\OWNER\n"),
              std::string::npos)
        << named_first.output;
    // Bytes that only begin like a mark are the answer's own.
    ProgramRun like_a_mark = run("\xEFSVC\n\xEF\xBBOWNER\n\n\n\n\nN\n");
    EXPECT_NE(like_a_mark.output.find("APP_HOME directory = C:\\\xEFSVC\\\xEF\xBBOWNER\n"),
              std::string::npos)
        << like_a_mark.output;

    const std::string refusal =
        "Error: The answers are UTF-16 text (as Windows PowerShell writes with > or Out-File). "
        "Save the answers as ANSI or UTF-8 text and start setup again.";
    std::string utf16;
    for (char c : std::string(DEFAULTS) + "Y\n\n") utf16 += std::string(1, c) + '\0';
    for (const std::string& input : {"\xFF\xFE" + utf16, "\xFE\xFF" + utf16.substr(0, 6), utf16,
                                     "\xFF\xFE\r\n" + std::string(DEFAULTS) + "Y\n\n",
                                     "\n\n\n\n\nC:\\" + std::string(1, '\0') + "\nY\n\n"}) {
        std::remove((scratch / "install.log").c_str());
        ProgramRun result = run(input);
        EXPECT_EQ(result.exit_status, 255);
        EXPECT_NE(result.output.find(refusal + "\n\nInstallation abandoned.\n"), std::string::npos)
            << result.output;
        EXPECT_NE(log().find(refusal + "\r\nInstallation abandoned.\r\n"), std::string::npos);
        EXPECT_FALSE(file_exists(drive_c + "/XEPDB1"));
    }
}

TEST_F(Dialogue, PathsThatWouldNotFitAreRefused) {
    // APP_HOME may be at most 211 characters: the SQL*Plus command line adds 48.
    std::string host = drive_c;
    std::string answer = "C:";
    while (answer.size() < 200) {
        host += "/abcdefghij";
        answer += "\\abcdefghij";
    }
    make_folders(host);
    ProgramRun result = run(answers_with(
        {{"app installation", answer + "\nC:\\"}, {"data directory", answer}, {"(Y or N)", "N"}}));
    EXPECT_EQ(result.exit_status, 255);
    // C:\ + 19 tens = 211 characters of APP_HOME with XEPDB1\QUARNDEL: too long.
    EXPECT_EQ(
        count_occurrences(
            result.output,
            "\nERROR: The directory path is too long for the installation paths built from it."),
        1u);
    EXPECT_NE(result.output.find("APP_HOME directory = C:\\XEPDB1\\QUARNDEL\n"), std::string::npos);
    // DATA_HOME only needs "\data" and its SQL form: the same answer fits.
    EXPECT_NE(result.output.find("DATA_HOME directory = " + answer + "\\XEPDB1\\QUARNDEL\\data\n"),
              std::string::npos);
}

TEST_F(Dialogue, LogIsAppendedInTheWorkingFolder) {
    run(std::string(DEFAULTS) + "N\n");
    run(std::string(DEFAULTS) + "N\n");
    std::string one_run = crlf(log_until_confirmation() + "Installation abandoned.\n");
    EXPECT_EQ(log(), one_run + one_run);

    make_folders(scratch / "elsewhere");
    run(std::string(DEFAULTS) + "N\n", scratch / "elsewhere");
    EXPECT_EQ(read_file(scratch / "elsewhere/install.log"), one_run);
    // After the cut-short entry of a run killed while writing it, the next
    // run's entries start on a line of their own.
    write_file(scratch / "elsewhere/install.log", "Copied file: Z:\\cut");
    run(std::string(DEFAULTS) + "N\n", scratch / "elsewhere");
    EXPECT_EQ(read_file(scratch / "elsewhere/install.log"), "Copied file: Z:\\cut\r\n" + one_run);
    EXPECT_FALSE(file_exists(dist + "/install.log"));
}

TEST_F(Dialogue, WindowsLineEndsInAnAnswersFile) {
    ProgramRun result = run("\r\n\r\nCONNECT_ME\r\n\r\n\r\n\r\nN\r\n");
    EXPECT_EQ(result.exit_status, 255);
    EXPECT_NE(result.output.find("CONNECT_USER = CONNECT_ME\n"), std::string::npos);
    EXPECT_NE(result.output.find("APP_HOME directory = C:\\XEPDB1\\QUARNDEL\n"), std::string::npos);
}

TEST_F(Dialogue, ExecutableInADriveRoot) {
    map_drive('E', dist);
    ProgramRun result = run(default_answers() + "\n");
    EXPECT_EQ(result.exit_status, 0) << result.output;
    EXPECT_NE(result.output.find("Source files extracted to: E:\n"), std::string::npos);
    EXPECT_NE(result.output.find("Copying files from E:\\data to C:\\XEPDB1\\QUARNDEL\\data...\n"),
              std::string::npos);
    EXPECT_NE(log().find("Setup started from directory: E:\r\n"), std::string::npos);
    EXPECT_EQ(read_file(drive_c + "/XEPDB1/QUARNDEL/com/startora.bat"), "@ECHO OFF\r\n");
}

// A setup folder named with ESC [2J would clear the operator's screen.
TEST_F(Dialogue, SetupFolderNameIsShownWithItsControlCharactersSpelled) {
    const std::string named = scratch / "d\x1b[2J";
    ASSERT_EQ(std::rename(dist.c_str(), named.c_str()), 0);
    const std::string spelled = windows_path(scratch.path()) + "\\d<U+001B>[2J";
    ProgramRun result = run_program({named + "/setup"}, std::string(DEFAULTS) + "Y\n\n",
                                    scratch.path(), {path_starting_with(sqlplus_folder)});
    EXPECT_EQ(result.exit_status, 0) << result.output;
    EXPECT_EQ(result.output.find('\x1b'), std::string::npos) << result.output;
    EXPECT_EQ(log().find('\x1b'), std::string::npos) << log();
    EXPECT_NE(result.output.find("Source files extracted to: " + spelled + "\n"),
              std::string::npos);
    EXPECT_NE(result.output.find("Copying files from " + spelled + " to"), std::string::npos);
    EXPECT_NE(log().find("Setup started from directory: " + spelled + "\r\n"), std::string::npos);
    EXPECT_NE(log().find("Source files extracted to: " + spelled + "\r\n"), std::string::npos);

    // The same where the distribution is not complete.
    ASSERT_EQ(std::system(("rm -r '" + named + "/com'").c_str()), 0);
    result = run_program({named + "/setup"}, std::string(DEFAULTS) + "Y\n\n", scratch.path());
    EXPECT_EQ(result.exit_status, 255);
    EXPECT_EQ(result.output.find('\x1b'), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("the setup folder " + spelled + " lacks these folders: com."),
              std::string::npos);
}

TEST_F(Dialogue, SetupFolderTooDeepForItsDataFolderIsRefused) {
    // 255 characters of folder: the program (named "s") fits a path, the
    // data folder ("\\data" more) does not.
    std::string deep = scratch / "deep";
    std::string windows = windows_path(deep);
    while (windows.size() < 245) {
        deep += "/abcdefghi";
        windows += "\\abcdefghi";
    }
    deep += "/" + std::string(255 - windows.size() - 1, 'x');
    windows += "\\" + std::string(255 - windows.size() - 1, 'x');
    ASSERT_EQ(windows.size(), 255u);
    make_folders(deep);
    write_file(deep + "/s", read_file(SETUP_EXE));
    chmod((deep + "/s").c_str(), 0755);
    ProgramRun result = run_program({deep + "/s"}, std::string(DEFAULTS) + "Y\n\n", scratch.path());
    EXPECT_EQ(result.exit_status, 255);
    EXPECT_NE(result.output.find(
                  "Error: The path of the setup folder is too long to name its data folder."),
              std::string::npos);
    EXPECT_NE(result.output.find("Installation abandoned.\n"), std::string::npos);
    EXPECT_FALSE(file_exists(drive_c + "/XEPDB1"));
}

// Each refused name, given at the service, owner and connection-user prompts
// in turn: refused with its message and asked again, then the default taken.
// What the scripts cannot carry (control characters, a line's last hyphen)
// is given at the port prompt too, where it fits.
TEST_F(Dialogue, NamesThatCannotNameAFolderAreRefused) {
    const std::string characters =
        "Error: The answer must not contain blanks & | < > ^ % \" ' \\ / : * ?.\n";
    const std::string control = "Error: The answer must not contain control characters.\n";
    const std::string dots =
        "Error: The answer must not be . or .., which stand for existing folders.\n";
    const std::string device =
        "Error: The answer must not be a device name of Windows (CON, PRN, AUX, NUL, COM1 to "
        "COM9, LPT1 to LPT9), alone or before a dot.\n";
    const std::string trailing_dot = "Error: The answer must not end with a dot.\n";
    const std::string hyphen = "Error: The answer must not end with a hyphen, which SQL*Plus "
                               "would take as the mark that the line goes on.\n";
    const struct {
        std::string name;
        const std::string& message;
    } cases[] = {
        {".", dots},
        {"..", dots},
        {"CON", device},
        {"con", device},
        {"Prn", device},
        {"aUx", device},
        {"NUL", device},
        {"COM1", device},
        {"com9", device},
        {"LPT1", device},
        {"Lpt9", device},
        {"CON.txt", device},
        {"nul.", device},
        {"LPT3.log.old", device},
        {"A.", trailing_dot},
        {"OWNER...", trailing_dot},
        {"A\tB", control},
        {std::string("\x01"), control},
        {"A\x1b[2JB", control},
        {"A\x7f", control},
        {"A\rB", control},
        {"\x1b[2J", control},
        {"XE-", hyphen},
        {"A\\B", characters},
        {"A/B", characters},
        {"C:", characters},
        {"A*", characters},
        {"A?", characters},
        {"\"A\"", characters},
        {"<A>", characters},
        {"A|B", characters},
    };
    for (const auto& c : cases) {
        const bool port = (&c.message == &control || &c.message == &hyphen) && c.name.size() < 6;
        const std::string refused = c.name + "\n\n";
        const std::string input =
            refused + refused + refused + (port ? refused : "\n") + "\n\nN\n";
        std::remove((scratch / "install.log").c_str());
        ProgramRun result = run(input);
        const std::string shown = "name " + ::testing::PrintToString(c.name);
        EXPECT_EQ(result.exit_status, 255) << shown;
        EXPECT_EQ(count_occurrences(result.output, c.message), port ? 4u : 3u)
            << shown << "\n"
            << result.output;
        for (std::size_t i = 0; i < (port ? 4u : 3u); ++i) {
            const std::string question = PROMPTS[i].question();
            EXPECT_NE(result.output.find(question + c.message + question), std::string::npos)
                << shown << ": " << question;
        }
        EXPECT_NE(result.output.find(echo_lines()), std::string::npos) << shown;
        // Nothing of a refused name reaches the log.
        EXPECT_EQ(log(), crlf(log_until_confirmation() + "Installation abandoned.\n")) << shown;
    }
}

TEST_F(Dialogue, NamesThatDoNameAFolderStayAccepted) {
    ProgramRun first = run("CONSOLE\nCOM10\nA.B\n1-5x\n\n\nN\n");
    EXPECT_EQ(first.exit_status, 255);
    EXPECT_EQ(count_occurrences(first.output, "Error: "), 0u) << first.output;
    EXPECT_NE(first.output.find("DBSERVICE = CONSOLE\n"), std::string::npos);
    EXPECT_NE(first.output.find("APP_OWNER = COM10\n"), std::string::npos);
    EXPECT_NE(first.output.find("CONNECT_USER = A.B\n"), std::string::npos);
    EXPECT_NE(first.output.find("Database connection string = //localhost:1-5x/CONSOLE\n"),
              std::string::npos);
    EXPECT_NE(first.output.find("APP_HOME directory = C:\\CONSOLE\\COM10\n"), std::string::npos);

    // Device names only as a whole name or before a dot; 8-bit letters as
    // typed; the port keeps its own rules.
    ProgramRun second = run("LPT0\nCON1\n.hidden\nNUL.\n\n\nN\n");
    EXPECT_EQ(second.exit_status, 255);
    EXPECT_EQ(count_occurrences(second.output, "Error: "), 0u) << second.output;
    EXPECT_NE(second.output.find("APP_HOME directory = C:\\LPT0\\CON1\n"), std::string::npos);
    EXPECT_NE(second.output.find("CONNECT_USER = .hidden\n"), std::string::npos);
    EXPECT_NE(second.output.find("Listener port = NUL.\n"), std::string::npos);

    ProgramRun third = run("\n\xC4RGER\n\n\n\n\nN\n");
    EXPECT_EQ(third.exit_status, 255);
    EXPECT_NE(third.output.find("APP_OWNER = \xC4RGER\n"), std::string::npos);
}

// The distribution's deepest paths are known: config\ + 100 characters
// (107 below APP_HOME) and data\d\ + 80 (82 below DATA_HOME). A file may
// be named in 259 characters, so APP_HOME may have 151, DATA_HOME 176.
TEST_F(Dialogue, DirectoriesTheDistributionWouldNotFitUnderAreRefused) {
    const std::string config_file = "config/" + std::string(100, 'c');
    const std::string data_file = "data/d/" + std::string(80, 'd');
    make_folders(dist + "/data/d");
    write_file(dist + "/" + config_file, "deepest\r\n");
    write_file(dist + "/" + data_file, "deepest data\r\n");
    // Answers C:\ + name: APP_HOME = answer + 16, DATA_HOME = answer + 21.
    auto folder = [&](std::size_t answer_length) {
        std::string name(answer_length - 3, 'f');
        make_folders(drive_c + "/" + name);
        return name;
    };
    const std::string app_long = folder(136), app_fits = folder(135);
    const std::string data_long = folder(156), data_fits = folder(155);
    ProgramRun result =
        run(answers_with({{"app installation", "C:\\" + app_long + "\nC:\\" + app_fits},
                          {"data directory", "C:\\" + data_long + "\nC:\\" + data_fits}}) +
            "\n");
    ASSERT_EQ(result.exit_status, 0) << result.output;
    EXPECT_EQ(
        count_occurrences(result.output,
                          "(Press Enter for default: 'C:\\'): "
                          "\nERROR: The directory path is too long for the files of the "
                          "distribution: APP_HOME would be 152 characters long, and may be at "
                          "most 151. Please enter a shorter path: "),
        1u);
    EXPECT_EQ(
        count_occurrences(result.output,
                          "(Press Enter for default: 'C:\\'): "
                          "\nERROR: The directory path is too long for the files of the "
                          "distribution: DATA_HOME would be 177 characters long, and may be at "
                          "most 176. Please enter a shorter path: "),
        1u);
    EXPECT_NE(result.output.find("APP_HOME directory = C:\\" + app_fits + "\\XEPDB1\\QUARNDEL\n"),
              std::string::npos);
    EXPECT_NE(
        result.output.find("DATA_HOME directory = C:\\" + data_fits + "\\XEPDB1\\QUARNDEL\\data\n"),
        std::string::npos);
    // The deepest files arrive, at exactly 259 characters each.
    EXPECT_EQ(read_file(drive_c + "/" + app_fits + "/XEPDB1/QUARNDEL/" + config_file),
              "deepest\r\n");
    EXPECT_EQ(
        read_file(drive_c + "/" + data_fits + "/XEPDB1/QUARNDEL/data/d/" + std::string(80, 'd')),
        "deepest data\r\n");
    EXPECT_EQ(log().find("Path too long"), std::string::npos);
    EXPECT_EQ(log().find("Error"), std::string::npos);
}

// The distribution holds a path the program cannot name within 259
// characters: it cannot be measured, so nothing is asked and nothing copied.
TEST_F(Dialogue, DistributionThatCannotBeMeasuredIsAbandonedAtStart) {
    const std::string folder_name(200, 'p');
    const std::string file_name(100, 'q');
    make_folders(dist + "/install/" + folder_name);
    write_file(dist + "/install/" + folder_name + "/" + file_name, "unreachable\r\n");
    ProgramRun result = run(default_answers() + "\n");
    EXPECT_EQ(result.exit_status, 255);
    const std::string message = "Error: The path " + windows_path(dist) + "\\install\\" +
                                folder_name + "\\" + file_name +
                                " is longer than 259 characters, so the paths of the "
                                "distribution cannot be measured.";
    EXPECT_EQ(result.output,
              intro(banner_line(result.output)) + message + "\nInstallation abandoned.\n");
    EXPECT_EQ(log(), crlf("ORACLE QUARNDEL INSTALLATION LOG\nSetup started from directory: " +
                          windows_path(dist) + "\n" + message + "\nInstallation abandoned.\n"));
    EXPECT_FALSE(file_exists(drive_c + "/XEPDB1"));
}

TEST_F(Dialogue, UnreadableFolderInTheDistributionIsAbandonedAtStart) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "running as root, which reads every folder "
                        "(tests/faults/unreadable_source.sh checks this as the user nobody)";
    }
    make_folders(dist + "/data/locked");
    chmod((dist + "/data/locked").c_str(), 0);
    ProgramRun result = run(default_answers() + "\n");
    EXPECT_EQ(result.exit_status, 255);
    EXPECT_NE(result.output.find("Error: Could not read the folder " + windows_path(dist) +
                                 "\\data\\locked, so the paths of the distribution cannot be "
                                 "measured.\nInstallation abandoned.\n"),
              std::string::npos);
    EXPECT_EQ(result.output.find("Enter the"), std::string::npos);
    EXPECT_FALSE(file_exists(drive_c + "/XEPDB1"));
}

// Started from inside a zip in Explorer, the program runs from a temporary
// folder without the distribution's folders beside it.
TEST_F(Dialogue, IncompleteDistributionIsRefusedBeforeTheQuestions) {
    // The files each: what SQL*Plus and the shortcut will run.
    const struct {
        std::vector<std::string> removed;
        std::string listed;
        std::string kind = "folders";
    } cases[] = {
        {{"install"}, "install"},
        {{"com"}, "com"},
        {{"config", "data"}, "config, data"},
        {{"config", "install", "com", "data"}, "config, install, com, data"},
        {{"install/install_schema.sql"}, "install\\install_schema.sql", "files"},
        {{"install/seed_data.sql"}, "install\\seed_data.sql", "files"},
        {{"install/compile_packages.sql"}, "install\\compile_packages.sql", "files"},
        {{"install/lock_schema.sql"}, "install\\lock_schema.sql", "files"},
        {{"com/startora.bat"}, "com\\startora.bat", "files"},
        {{"install/seed_data.sql", "com/startora.bat"},
         "install\\seed_data.sql, com\\startora.bat",
         "files"},
    };
    for (const auto& c : cases) {
        ScratchFolder parent;
        const std::string partial = make_distribution(parent.path());
        for (const std::string& folder : c.removed) {
            ASSERT_EQ(std::system(("rm -r '" + partial + "/" + folder + "'").c_str()), 0);
        }
        std::remove((scratch / "install.log").c_str());
        ProgramRun result = run_program({partial + "/setup"}, std::string(DEFAULTS) + "Y\n\n",
                                        scratch.path(), {path_starting_with(sqlplus_folder)});
        const std::string shown = "without " + c.listed;
        EXPECT_EQ(result.exit_status, 255) << shown;
        const std::string message = "Error: The distribution is not complete: the setup folder " +
                                    windows_path(partial) + " lacks these " + c.kind + ": " +
                                    c.listed +
                                    ".\n"
                                    "Extract the whole zip file first, then start setup.exe from "
                                    "the extracted folder.\n";
        EXPECT_EQ(result.output,
                  intro(banner_line(result.output)) + message + "Installation abandoned.\n")
            << shown;
        EXPECT_EQ(log(), crlf("ORACLE QUARNDEL INSTALLATION LOG\nSetup started from directory: " +
                              windows_path(partial) + "\n" + message + "Installation abandoned.\n"))
            << shown;
        EXPECT_FALSE(file_exists(drive_c + "/XEPDB1")) << shown;
        EXPECT_TRUE(list_files_recursively(drive_c).empty()) << shown;
    }

    // A file named data is no data folder.
    ASSERT_EQ(std::system(("rm -r '" + dist + "/data'").c_str()), 0);
    write_file(dist + "/data", "not a folder\r\n");
    ProgramRun file = run(default_answers() + "\n");
    EXPECT_EQ(file.exit_status, 255);
    EXPECT_NE(file.output.find(" lacks these folders: data.\n"), std::string::npos);
    EXPECT_FALSE(file_exists(drive_c + "/XEPDB1"));
}

}  // namespace
