// Shared helpers for the tests: scratch folders mapped as drives, running
// the built program with a given standard input, reading files back.
#pragma once

#include <functional>
#include <string>
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

// A distribution folder (config, install, com, data with two files) with a
// copy of the built setup program at its root; returns the folder.
std::string make_distribution(const std::string& parent);

// The current user's desktop folder on the drive C: mapped to drive_c.
std::string desktop_folder(const std::string& drive_c);
