// Ctrl+C at a terminal, typed as an operator types it: the terminal's
// interrupt character goes in at the pseudo-terminal's master side and the
// kernel signals the whole foreground process group, the setup program and
// the stand-in SQL*Plus it started alike. Typed while SQL*Plus asks for a
// password it ends SQL*Plus only; typed at any other moment it ends the
// program at once, its log complete up to the last entry.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "tests/prompts.h"
#include "tests/test_support.h"

namespace {

// The program running on a pseudo-terminal of its own (a new session, so
// the terminal's signals reach only it and its children).
class Terminal {
  public:
    Terminal(const std::string& program, const std::string& folder,
             const std::vector<std::string>& environment) {
        struct winsize size = {24, 80, 0, 0};
        child_ = forkpty(&master_, nullptr, nullptr, &size);
        if (child_ == 0) {
            struct rlimit no_core = {0, 0};
            setrlimit(RLIMIT_CORE, &no_core);  // SIGQUIT would leave a core file
            if (chdir(folder.c_str()) != 0) _exit(126);
            for (const std::string& entry : environment) putenv(strdup(entry.c_str()));
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Terminal() {
        if (child_ > 0 && !ended_) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // Waits until the text appears after what earlier waits matched.
    bool wait_for(const std::string& text, int seconds = 30) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        for (;;) {
            std::size_t at = screen.find(text, seen_);
            if (at != std::string::npos) {
                seen_ = at + text.size();
                return true;
            }
            if (std::chrono::steady_clock::now() > deadline || !read_some(100)) {
                if (std::chrono::steady_clock::now() > deadline || closed_) return false;
            }
        }
    }

    void type(const std::string& text) {
        ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }

    // Types the terminal's own character for the control (VINTR, VQUIT).
    void type_control(int control) {
        termios modes{};
        ASSERT_EQ(tcgetattr(master_, &modes), 0);
        char key = static_cast<char>(modes.c_cc[control]);
        type(std::string(1, key));
    }

    bool echo_on() {
        termios modes{};
        return tcgetattr(master_, &modes) == 0 && (modes.c_lflag & ECHO) != 0;
    }

    // Reads the rest of the output and returns the wait status.
    int wait_for_end(int seconds = 30) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!closed_ && std::chrono::steady_clock::now() < deadline) read_some(100);
        int status = 0;
        if (!closed_) kill(child_, SIGKILL);
        waitpid(child_, &status, 0);
        ended_ = true;
        return status;
    }

    std::string screen;

  private:
    // Reads what is there within the milliseconds; false when nothing came.
    bool read_some(int milliseconds) {
        struct pollfd ready = {master_, POLLIN, 0};
        if (poll(&ready, 1, milliseconds) <= 0) return false;
        char buffer[4096];
        ssize_t got = read(master_, buffer, sizeof buffer);
        if (got <= 0) {
            closed_ = true;  // EIO: the last process on the terminal has gone
            return false;
        }
        screen.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    int master_ = -1;
    pid_t child_ = -1;
    std::size_t seen_ = 0;
    bool closed_ = false;
    bool ended_ = false;
};

class CtrlC : public ScratchInstall {
  protected:
    std::vector<std::string> environment() {
        return {path_starting_with(sqlplus_standin_folder())};
    }

    // Answers every question with its default and confirms; stops at
    // SQL*Plus's first password prompt.
    void answer_up_to_sqlplus(Terminal& terminal) {
        for (const Prompt& prompt : PROMPTS) {
            ASSERT_TRUE(terminal.wait_for(prompt.text)) << terminal.screen;
            terminal.type(std::string(prompt.answer) + "\r");
        }
        ASSERT_TRUE(terminal.wait_for("Executing: sqlplus / as sysdba @")) << terminal.screen;
        ASSERT_TRUE(terminal.wait_for("Enter the password for QUARNDEL:")) << terminal.screen;
    }

    std::string log() {
        return read_file(scratch / "work/install.log");
    }
};

struct Key {
    int control;  // VINTR: Ctrl+C; VQUIT: Ctrl+\, the terminal's Ctrl+Break
    int signal;
};

void PrintTo(const Key& key, std::ostream* out) {
    *out << (key.signal == SIGINT ? "Ctrl+C" : "Ctrl+\\");
}

class CtrlCDuringSqlplus : public CtrlC, public ::testing::WithParamInterface<Key> {};

TEST_P(CtrlCDuringSqlplus, EndsSqlplusAndTheRunGoesOnToItsSummary) {
    Terminal terminal(dist + "/setup", scratch / "work", environment());
    answer_up_to_sqlplus(terminal);
    terminal.type_control(GetParam().control);

    const std::string stopped =
        "Error: SQL*Plus was interrupted by Ctrl+C or Ctrl+Break (exit status " +
        std::to_string(128 + GetParam().signal) +
        "). The database objects may not have been created.";
    ASSERT_TRUE(terminal.wait_for(stopped)) << terminal.screen;
    ASSERT_TRUE(terminal.wait_for("Shortcut created on Desktop: QUARNDEL.lnk")) << terminal.screen;
    ASSERT_TRUE(terminal.wait_for("These stages failed: auto_install.sql and database objects."))
        << terminal.screen;
    ASSERT_TRUE(terminal.wait_for("Installation finished with errors. Press RETURN to exit."))
        << terminal.screen;
    // SQL*Plus was stopped with echo off for the password: it is back on.
    EXPECT_TRUE(terminal.echo_on());
    terminal.type("\r");
    int status = terminal.wait_for_end();
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << terminal.screen;
    EXPECT_EQ(WEXITSTATUS(status), 1);

    std::string text = log();
    std::size_t executing = text.find("Executing: sqlplus / as sysdba @");
    std::size_t error = text.find(stopped);
    std::size_t shortcut = text.find("Shortcut created on Desktop: QUARNDEL.lnk\r\n");
    ASSERT_NE(executing, std::string::npos) << text;
    ASSERT_NE(error, std::string::npos) << text;
    ASSERT_NE(shortcut, std::string::npos) << text;
    EXPECT_LT(executing, error);
    EXPECT_LT(error, shortcut);
    EXPECT_EQ(text.find("Database objects created."), std::string::npos);
    EXPECT_NE(text.find("INSTALLATION SUMMARY:"), std::string::npos);
    const std::string last = "Installation completed with errors.\r\n";
    ASSERT_GE(text.size(), last.size());
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    EXPECT_TRUE(file_exists(desktop_folder(drive_c) + "/QUARNDEL.lnk"));
}

INSTANTIATE_TEST_SUITE_P(Keys, CtrlCDuringSqlplus,
                         ::testing::Values(Key{VINTR, SIGINT}, Key{VQUIT, SIGQUIT}),
                         [](const ::testing::TestParamInfo<Key>& info) {
                             return std::string(info.param.signal == SIGINT ? "CtrlC"
                                                                            : "CtrlBackslash");
                         });

TEST_F(CtrlC, AtAPromptEndsTheProgramAtOnceWithTheLogComplete) {
    Terminal terminal(dist + "/setup", scratch / "work", environment());
    ASSERT_TRUE(terminal.wait_for(PROMPTS[0].text)) << terminal.screen;
    terminal.type("\r");
    ASSERT_TRUE(terminal.wait_for(PROMPTS[1].text)) << terminal.screen;
    terminal.type_control(VINTR);
    int status = terminal.wait_for_end();
    ASSERT_TRUE(WIFSIGNALED(status)) << terminal.screen;
    EXPECT_EQ(WTERMSIG(status), SIGINT);

    // Every entry written before is whole, and a closing entry follows them.
    std::string text = log();
    EXPECT_EQ(text.rfind("ORACLE QUARNDEL INSTALLATION LOG\r\n", 0), 0u) << text;
    std::size_t last_entry = text.find("Setup started from directory: ");
    ASSERT_NE(last_entry, std::string::npos) << text;
    EXPECT_EQ(text.substr(text.find("\r\n", last_entry) + 2),
              "Installation interrupted by Ctrl+C or Ctrl+Break.\r\n");
    EXPECT_FALSE(file_exists(drive_c + "/XEPDB1"));
}

TEST_F(CtrlC, AtTheFinalWaitAfterSqlplusEndsTheProgram) {
    // Ignoring Ctrl+C lasts only while SQL*Plus runs.
    Terminal terminal(dist + "/setup", scratch / "work", environment());
    answer_up_to_sqlplus(terminal);
    terminal.type_control(VINTR);
    ASSERT_TRUE(terminal.wait_for("Press RETURN to exit.")) << terminal.screen;
    // The closing entry is the last: no interrupted entry after it.
    const std::string last =
        "These stages failed: auto_install.sql and database objects. See the entries above for "
        "details.\r\nInstallation completed with errors.\r\n";
    auto logged_last = [&] {
        std::string text = log();
        return text.size() >= last.size() && text.substr(text.size() - last.size()) == last;
    };
    for (int i = 0; i < 200 && !logged_last(); ++i) usleep(50 * 1000);
    ASSERT_TRUE(logged_last()) << log();
    terminal.type_control(VINTR);
    int status = terminal.wait_for_end();
    ASSERT_TRUE(WIFSIGNALED(status)) << terminal.screen;
    EXPECT_EQ(WTERMSIG(status), SIGINT);
    EXPECT_TRUE(logged_last()) << log();
}

}  // namespace
