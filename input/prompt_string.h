// A question with a default answer.
#pragma once

#include <cstddef>

// The further rules an answer must pass.
enum class AnswerRules {
    none,
    script_value,  // written into the scripts' lines (script_value_refusal)
    folder_name,   // a script value that also names a folder (folder_name_refusal)
};

// Writes "<message> (Press Enter for default: '<default>'): " and stores the
// answer in the field; an empty answer stores the default. An answer longer
// than capacity - 1 characters, holding any of the refused characters (may
// be null), or failing the rules, is refused with a message and the
// question asked again. Returns false at end of input, and on UTF-16 input
// after saying so (the field then holds no answer).
bool prompt_string(const char* message, char* field, std::size_t capacity,
                   const char* default_value, const char* refused_characters,
                   AnswerRules rules = AnswerRules::none);

// Writes the refused characters for a message: "blanks" first if the blank
// is among them, then the others separated by blanks.
void write_refused_characters(const char* refused_characters);
