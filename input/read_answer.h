// Reading the operator's answers from standard input.
#pragma once

#include <cstddef>

enum class LineRead {
    answer,        // a whole line (or the last, unterminated one) was stored
    too_long,      // the line did not fit; it was read to its end and discarded
    end_of_input,  // nothing was left to read
    not_text,      // UTF-16 (a byte order mark FF FE or FE FF at the start of
                   // the input, or a NUL byte in the line), or UTF-8 answers
                   // with a character the ANSI code page cannot spell: no
                   // answer is taken
};

// Reads one line into the field (at most capacity - 1 characters) and
// consumes its line break. A CR before the line feed never reaches the
// answer. A UTF-8 byte order mark at the start of a line is skipped, and
// from the first such mark on the answers are read as UTF-8 and stored in
// the ANSI code page. A longer line is discarded whole, so its rest never becomes the
// next answer; the field is then left empty.
LineRead read_answer_line(char* field, std::size_t capacity);

// The message that refuses answers which are not 8-bit text.
constexpr const char* NOT_TEXT_MESSAGE =
    "Error: The answers are UTF-16 text (as Windows PowerShell writes with > or Out-File). "
    "Save the answers as ANSI or UTF-8 text and start setup again.";

// The message that refuses UTF-8 answers the code page cannot spell.
constexpr const char* NOT_SPELLABLE_MESSAGE =
    "Error: The answers are UTF-8 text, and an answer holds a character that this system's "
    "ANSI code page cannot spell. Use only characters of that code page and start setup again.";

// Ends the line of the prompt, then prints and logs why the answer was
// refused (NOT_TEXT_MESSAGE or NOT_SPELLABLE_MESSAGE).
void refuse_not_text();

// Reads one character of standard input; -1 at end of input. A UTF-8 byte
// order mark at the very start of the input is skipped.
int read_input_character();

// Reads and drops everything up to and including the next line break.
// False when the input ended first.
bool discard_rest_of_line();
