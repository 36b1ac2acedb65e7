// Shared helpers for the tests: scratch folders mapped as drives, running
// the built program with a given standard input, reading files back.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A scratch folder removed with everything in it when the test ends.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const {
        return path_;
    }
    std::string operator/(const std::string& relative) const {
        return path_ + "/" + relative;
    }

  private:
    std::string path_;
};

struct ProgramRun {
    std::string output;  // standard output and standard error
    int exit_status = -1000;
};

// Runs the program with the input as standard input (a file), in the
// working folder, with extra environment entries NAME=VALUE.
ProgramRun run_program(const std::vector<std::string>& arguments, const std::string& input,
                       const std::string& working_folder,
                       const std::vector<std::string>& environment = {});

// Runs the body in a child of this process (a copy of it, with its state)
// set up as run_program sets up the program; the exit status is what the
// body returns, modulo 256.
ProgramRun run_in_child(const std::function<int()>& body, const std::string& input,
                        const std::string& working_folder,
                        const std::vector<std::string>& environment = {});

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);
void make_folders(const std::string& path);
std::vector<std::string> list_files_recursively(const std::string& folder);

// Replaces every "\n" with "\r\n".
std::string crlf(const std::string& text);

// A distribution folder (config, install with its four scripts, com with
// startora.bat, data with two files) with a
// copy of the built setup program at its root; returns the folder.
std::string make_distribution(const std::string& parent);

// The current user's desktop folder on the drive C: mapped to drive_c.
std::string desktop_folder(const std::string& drive_c);

// The Windows form of a host path as the program sees it (Z: is the host root).
std::string windows_path(const std::string& host_path);

// How often the piece occurs in the text (overlapping occurrences counted).
// Inline: the Windows test exe and the stand-in's tests use it too.
inline std::size_t count_occurrences(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++count;
    return count;
}

// The lines of a log, each without its CR LF. A line that lacks its CR, or a
// last line that lacks its line feed, starts with "<torn>", so that it
// matches no entry.
std::vector<std::string> log_lines(const std::string& log);

// The environment entry PATH=FOLDER:<this process's PATH>, for a run that
// finds its programs in the folder first.
std::string path_starting_with(const std::string& folder);

// The folder of the stand-in SQL*Plus that the build makes.
std::string sqlplus_standin_folder();

// A test with a scratch folder and drives mapped onto folders in it. What
// it changes in this process (the environment, the working folder), and so
// in the programs it starts, is given back at TearDown.
class ScratchDrives : public ::testing::Test {
  protected:
    void TearDown() override;

    // Maps the drive letter to the host folder (SETUP_DRIVE_X).
    void map_drive(char letter, const std::string& folder);
    void set_environment(const std::string& name, const std::string& value);
    void work_in(const std::string& folder);

    // scratch/c with the current user's Desktop, mapped as drive C:.
    std::string make_drive_c();
    // scratch/dist: a copy of the repository's dist/ with the built program
    // at its root as "setup".
    std::string make_install_distribution();
    // scratch/bin/sqlplus, a shell script with the body; returns scratch/bin.
    std::string make_fake_sqlplus(const std::string& body = "exit 0");

    ScratchFolder scratch;

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_environment_;
    std::optional<std::string> saved_folder_;
};

// ScratchDrives with what a whole install needs: drive C: with the desktop,
// the working folder scratch/work and the distribution.
class ScratchInstall : public ScratchDrives {
  protected:
    void SetUp() override;

    std::string drive_c, work, dist;
};
