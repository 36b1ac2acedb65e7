// Text that remembers which of its characters were typed at an ACCEPT prompt.
//
// Commands run on the real characters; whatever is shown on the screen or
// written to the transcript goes through shown(), which puts a mask in place
// of every run of typed characters, so passwords never leave the process.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sqlplus {

// What stands in for a typed value wherever text is shown or recorded.
inline constexpr const char kMask[] = "********";

class Text {
  public:
    Text() = default;
    Text(const std::string& plain);  // NOLINT: plain text converts implicitly
    Text(const char* plain);         // NOLINT
    static Text secret(const std::string& typed);

    void push_back(char c, bool secret);
    Text& operator+=(const Text& other);

    const std::string& str() const {
        return chars_;
    }
    std::size_t size() const {
        return chars_.size();
    }
    bool empty() const {
        return chars_.empty();
    }
    char operator[](std::size_t i) const {
        return chars_[i];
    }
    bool secret_at(std::size_t i) const {
        return secret_[i];
    }
    bool has_secret() const;

    Text substr(std::size_t pos, std::size_t count = std::string::npos) const;

    // The characters with each run of secret ones replaced by kMask.
    std::string shown() const;

  private:
    std::string chars_;
    std::vector<bool> secret_;
};

Text operator+(Text left, const Text& right);

}  // namespace sqlplus
