// Reading the operator's answers from standard input.
#pragma once

#include <cstddef>

enum class LineRead {
    answer,        // a whole line (or the last, unterminated one) was stored
    too_long,      // the line did not fit; it was read to its end and discarded
    end_of_input,  // nothing was left to read
};

// Reads one line into the field (at most capacity - 1 characters) and
// consumes its line break. A CR before the line feed never reaches the
// answer. A longer line is discarded whole, so its rest never becomes the
// next answer; the field is then left empty.
LineRead read_answer_line(char* field, std::size_t capacity);

// Reads one character of standard input; -1 at end of input.
int read_input_character();

// Reads and drops everything up to and including the next line break.
// False when the input ended first.
bool discard_rest_of_line();
