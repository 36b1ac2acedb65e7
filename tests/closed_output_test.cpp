// A whole install whose standard output is a pipe that nobody reads any
// more (setup < answers.txt | head -2): the writes fail, the install goes on
// to the end and exits as usual, as on Windows.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "tests/prompts.h"
#include "tests/test_support.h"

namespace {

enum class Reader {
    gone_from_the_start,  // the pipe has no reader before the program starts
    first_two_lines,      // like head -2: reads two lines, then closes
};

struct PipedRun {
    int exit_status = -1000;  // 1000 + signal number when a signal ended it
    std::string read;         // what the reader took from the pipe
};

// Runs the program with the file as standard input and its standard output
// into a pipe read as the reader says; standard error goes to a file.
PipedRun run_into_pipe(const std::string& program, const std::string& input_file,
                       const std::string& error_file, const std::string& working_folder,
                       const std::vector<std::string>& environment, Reader reader) {
    PipedRun run;
    int ends[2];
    if (pipe(ends) != 0) return run;
    // The smallest pipe, so that the program cannot have put all its output
    // into the pipe before a reader of two lines goes.
    fcntl(ends[1], F_SETPIPE_SZ, 4096);
    if (reader == Reader::gone_from_the_start) close(ends[0]);
    pid_t child = fork();
    if (child == 0) {
        // Started as a shell starts it, whatever this test process does
        // with the signal (an ignored signal would stay ignored).
        std::signal(SIGPIPE, SIG_DFL);
        if (reader != Reader::gone_from_the_start) close(ends[0]);
        int input = open(input_file.c_str(), O_RDONLY);
        int errors = open(error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (input < 0 || errors < 0 || chdir(working_folder.c_str()) != 0) _exit(126);
        dup2(input, 0);
        dup2(ends[1], 1);
        dup2(errors, 2);
        for (const std::string& entry : environment) putenv(strdup(entry.c_str()));
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ends[1]);
    if (reader == Reader::first_two_lines) {
        int lines = 0;
        char c;
        while (lines < 2 && read(ends[0], &c, 1) == 1) {
            run.read += c;
            if (c == '\n') ++lines;
        }
        close(ends[0]);
    }
    int status = 0;
    waitpid(child, &status, 0);
    run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    return run;
}

class ClosedOutput : public ScratchInstall {
  protected:
    void SetUp() override {
        ScratchInstall::SetUp();
        write_file(scratch / "answers.txt",
                   default_answers() + "Owner-Pw-1\nConnect-Pw-2\nSys-Pw-3\n\n");
    }

    PipedRun install(Reader reader) {
        return run_into_pipe(dist + "/setup", scratch / "answers.txt", scratch / "errors.txt",
                             scratch / "work", {path_starting_with(sqlplus_standin_folder())},
                             reader);
    }

    // Every file of the distribution arrived whole, and the run logged
    // every stage through to its end.
    void expect_installed() {
        const std::string app_home = drive_c + "/XEPDB1/QUARNDEL";
        for (const std::string& file : list_files_recursively(dist)) {
            EXPECT_TRUE(read_file(dist + "/" + file) == read_file(app_home + "/" + file)) << file;
        }
        for (const char* script :
             {"config/set_env.sql", "config/set_env.bat", "install/auto_install.sql"}) {
            EXPECT_TRUE(file_exists(app_home + "/" + script)) << script;
        }
        EXPECT_TRUE(file_exists(desktop_folder(drive_c) + "/QUARNDEL.lnk"));
        std::string log = read_file(scratch / "work/install.log");
        EXPECT_NE(log.find("Database objects created.\r\n"), std::string::npos) << log;
        EXPECT_NE(log.find("Installation completed.\r\n"), std::string::npos) << log;
    }
};

TEST_F(ClosedOutput, NoReaderFromTheStart) {
    PipedRun run = install(Reader::gone_from_the_start);
    EXPECT_EQ(run.exit_status, 0) << read_file(scratch / "errors.txt");
    expect_installed();
}

TEST_F(ClosedOutput, ReaderTakesTwoLinesThenCloses) {
    PipedRun run = install(Reader::first_two_lines);
    EXPECT_EQ(run.exit_status, 0) << read_file(scratch / "errors.txt");
    EXPECT_EQ(std::count(run.read.begin(), run.read.end(), '\n'), 2) << run.read;
    expect_installed();
}

}  // namespace
