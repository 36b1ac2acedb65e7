#include "tools/sqlplus/substitution.h"

namespace sqlplus {
namespace {

std::string upper(const std::string& name) {
    std::string key = name;
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

}  // namespace

bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c == '#';
}

const Text* Variables::find(const std::string& name) const {
    auto it = values_.find(upper(name));
    return it == values_.end() ? nullptr : &it->second;
}

void Variables::define(const std::string& name, const Text& value) {
    values_[upper(name)] = value;
}

bool Variables::undefine(const std::string& name) {
    return values_.erase(upper(name)) > 0;
}

Text substitute(const std::string& line, const SubstitutionSettings& settings, Variables& variables,
                const AskValue& ask) {
    if (!settings.define_on) return Text(line);
    const char amp = settings.define_char;
    Text out;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n) {
        const char c = line[i];
        if (settings.escape_on && c == settings.escape_char && i + 1 < n &&
            (line[i + 1] == amp || line[i + 1] == settings.escape_char)) {
            out.push_back(line[i + 1], false);
            i += 2;
            continue;
        }
        if (c != amp) {
            out.push_back(c, false);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        const bool keep = j < n && line[j] == amp;
        if (keep) ++j;
        const std::size_t start = j;
        while (j < n && is_name_char(line[j])) ++j;
        if (j == start) {
            // "& " or a lone "&&": not a variable, kept as typed.
            for (; i < j; ++i) out.push_back(line[i], false);
            continue;
        }
        const std::string name = line.substr(start, j - start);
        if (settings.concat_on && j < n && line[j] == settings.concat_char) ++j;
        if (const Text* value = variables.find(name)) {
            out += *value;
        } else {
            Text typed = ask(name);
            if (keep) variables.define(name, typed);
            out += typed;
        }
        i = j;
    }
    return out;
}

}  // namespace sqlplus
