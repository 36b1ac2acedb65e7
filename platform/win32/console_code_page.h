// The console's code pages while this program runs (Windows backend only).
#pragma once

namespace platform {

// Makes the console read and write in the ANSI code page, the one the file
// calls interpret names in, so a typed name reaches them as the same
// characters. The console's own code pages come back when the program ends:
// at exit, and on Ctrl+C, Ctrl+Break or the closing of the window. Only the
// first call does anything; without a console it does nothing.
void use_ansi_code_page();

// Puts the console's own code pages back now (for a program about to end).
void restore_console_code_pages();

}  // namespace platform
