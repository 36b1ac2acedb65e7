// What the interpreter needs from the outside world: the console, script
// files and the transcript.
#pragma once

#include <optional>
#include <string>

namespace sqlplus {

class Host {
  public:
    virtual ~Host() = default;

    // Standard output and standard error; written at once.
    virtual void out(const std::string& text) = 0;
    virtual void err(const std::string& text) = 0;

    // One line of standard input without its line end (a CR right before the
    // LF is dropped), nothing read beyond it. With hide and a terminal, the
    // typed characters are not echoed. Empty optional at end of input.
    virtual std::optional<std::string> read_line(bool hide) = 0;
    virtual bool input_is_terminal() = 0;

    // Whole contents of a script, named by its Windows path.
    virtual bool read_file(const std::string& path, std::string& contents) = 0;

    // Appends one line to the transcript.
    virtual void record(const std::string& line) = 0;

    // "YYYY-MM-DD hh:mm:ss", local time.
    virtual std::string timestamp() = 0;
};

}  // namespace sqlplus
