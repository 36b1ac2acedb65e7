// Writing to standard output. Everything written here reaches the console
// at once, so prompts are visible before the read that follows them and
// cursor moves and colour changes land in the right place.
#pragma once

// Writes the text exactly.
void write_text(const char* text);

// Writes the formatted text exactly (no line break added).
void write_format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes the text followed by a line break.
void print_line(const char* text);
