// Substitution variables: &name, &&name, &1..&n, the concatenation character
// that ends a name, and the escape character that keeps an & literal.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "tools/sqlplus/text.h"

namespace sqlplus {

struct SubstitutionSettings {
    bool define_on = true;  // SET DEFINE
    char define_char = '&';
    bool escape_on = false;  // SET ESCAPE
    char escape_char = '\\';
    bool concat_on = true;  // SET CONCAT
    char concat_char = '.';
};

// Letters, digits, _, $ and # make up a variable name.
bool is_name_char(char c);

// Names compare without regard to case, as SQL*Plus upper-cases them.
class Variables {
  public:
    const Text* find(const std::string& name) const;
    void define(const std::string& name, const Text& value);
    bool undefine(const std::string& name);
    // Upper-cased names in order.
    const std::map<std::string, Text>& all() const {
        return values_;
    }

  private:
    std::map<std::string, Text> values_;
};

// Asked for the value of an undefined variable (the "Enter value for"
// prompt); returns what was typed, empty at end of input.
using AskValue = std::function<Text(const std::string& name)>;

// Replaces the variables in one line. Values are inserted as they are: they
// are never scanned again. &&name defines name with the value it was asked
// for; &name asks again every time it is undefined.
Text substitute(const std::string& line, const SubstitutionSettings& settings, Variables& variables,
                const AskValue& ask);

}  // namespace sqlplus
