#include "tools/sqlplus/text.h"

namespace sqlplus {

Text::Text(const std::string& plain) : chars_(plain), secret_(plain.size(), false) {}

Text::Text(const char* plain) : Text(std::string(plain)) {}

Text Text::secret(const std::string& typed) {
    Text text(typed);
    text.secret_.assign(typed.size(), true);
    return text;
}

void Text::push_back(char c, bool secret) {
    chars_.push_back(c);
    secret_.push_back(secret);
}

Text& Text::operator+=(const Text& other) {
    chars_ += other.chars_;
    secret_.insert(secret_.end(), other.secret_.begin(), other.secret_.end());
    return *this;
}

bool Text::has_secret() const {
    for (bool s : secret_) {
        if (s) return true;
    }
    return false;
}

Text Text::substr(std::size_t pos, std::size_t count) const {
    Text part;
    if (pos >= chars_.size()) return part;
    std::size_t end = (count >= chars_.size() - pos) ? chars_.size() : pos + count;
    part.chars_ = chars_.substr(pos, end - pos);
    part.secret_.assign(secret_.begin() + static_cast<std::ptrdiff_t>(pos),
                        secret_.begin() + static_cast<std::ptrdiff_t>(end));
    return part;
}

std::string Text::shown() const {
    std::string out;
    out.reserve(chars_.size());
    for (std::size_t i = 0; i < chars_.size(); ++i) {
        if (!secret_[i]) {
            out.push_back(chars_[i]);
        } else if (i == 0 || !secret_[i - 1]) {
            out += kMask;
        }
    }
    return out;
}

Text operator+(Text left, const Text& right) {
    left += right;
    return left;
}

}  // namespace sqlplus
