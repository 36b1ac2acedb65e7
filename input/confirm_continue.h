// The yes/no confirmation.
#pragma once

enum class Confirmation { yes, no, end_of_input };

// Writes a line break and the question, then reads one character at a time
// (skipping white space) until it is Y or N in either case; anything else
// draws a message and the question again. Only one character is consumed
// per attempt: the rest of the line stays in the input.
Confirmation confirm_continue(const char* question);
