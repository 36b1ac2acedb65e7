// The real Host: this process's console, the file system and the transcript
// file. The only part of the stand-in that differs between Windows and POSIX.
#pragma once

#include <cstdio>
#include <string>

#include "tools/sqlplus/host.h"

namespace sqlplus {

class ConsoleHost : public Host {
  public:
    // The transcript is appended to the file named by SQLPLUS_TRANSCRIPT, else
    // sqlplus-transcript.log in the working directory.
    ConsoleHost();
    ~ConsoleHost() override;
    ConsoleHost(const ConsoleHost&) = delete;
    ConsoleHost& operator=(const ConsoleHost&) = delete;

    void out(const std::string& text) override;
    void err(const std::string& text) override;
    std::optional<std::string> read_line(bool hide) override;
    bool input_is_terminal() override;
    bool read_file(const std::string& path, std::string& contents) override;
    void record(const std::string& line) override;
    std::string timestamp() override;

  private:
    std::string transcript_path_;
    std::FILE* transcript_ = nullptr;
    bool transcript_failed_ = false;
};

// Opens a file the scripts name: Windows paths (X:\..., or with
// backslashes) go through the platform's drive mapping on POSIX; other
// paths are opened as they are. Null when it cannot be opened.
std::FILE* open_named_file(const std::string& path, const char* mode);

}  // namespace sqlplus
