// Writing a generated script.
#pragma once

// Says the script at the path is being created, then writes the text there,
// replacing an existing file, with every line break stored as CR LF, and
// prints the generated label and the path. Nothing is written when the text
// was not composed whole (it did not fit its buffer). Prints "Error: Cannot
// open file for writing!" when the file cannot be opened, and a message
// naming the file when writing or closing fails (a full disk); a
// half-written file is removed. True only when the whole file was written
// and closed.
bool write_script_file(const char* path, bool composed, const char* text,
                       const char* generated_label);

// Prints and logs what became of a generated script: the created text when
// it was written, the not-written text otherwise. Returns written.
bool report_script(bool written, const char* created_text, const char* not_written_text);
