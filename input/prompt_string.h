// A question with a default answer.
#pragma once

#include <cstddef>

// Writes "<message> (Press Enter for default: '<default>'): " and stores the
// answer in the field; an empty answer stores the default. An answer longer
// than capacity - 1 characters, holding any of the refused characters (may
// be null), or, when folder_name is set, one that cannot name a folder
// (folder_name_refusal), is refused with a message and the question asked
// again. Returns false at end of input, and on UTF-16 input after saying so
// (the field then holds no answer).
bool prompt_string(const char* message, char* field, std::size_t capacity,
                   const char* default_value, const char* refused_characters,
                   bool folder_name = false);

// Writes the refused characters for a message: "blanks" first if the blank
// is among them, then the others separated by blanks.
void write_refused_characters(const char* refused_characters);
