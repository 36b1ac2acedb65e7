// Test-only control over a backend: makes chosen calls of a row of its
// system-call table fail with a given Windows error code, and lets a test
// that runs the setup in its own process name the executable's path. Only
// tests include this header; the program itself never calls the setters,
// and nothing outside a test (no argument, no environment variable) reaches
// them. Each backend's test library (never linked into the program) puts a
// stand-in into every row of the backend's table, which asks take_fault.
#pragma once

namespace platform {
namespace fault_injection {

// From the first-th call of the row named on (counting from 1 since the
// fault was set), count calls fail with the code, setting the error as the
// system would (errno or the last error) and returning the row's failure
// value; count 0 means every call from the first-th on. One fault per row: a
// later one replaces it. A few rows may fail at once. The name is kept (a
// literal will do); a row the backend lacks, or too many faults, end the
// test binary.
void inject_fault(const char* row, unsigned long first, unsigned long count, unsigned long code);

// Makes get_free_space report this many bytes free on the drive or share
// whose root is given (C:\ or \\server\share\, any case), as a volume of
// its own; other drives report their real free space. A later call
// replaces the drive.
void set_free_space(const char* root, unsigned long long bytes);

// For the stand-ins: the free space a test set for the root of the folder
// asked, if any.
bool free_space_override(const char* folder, unsigned long long* bytes);

// Removes every fault, restarts the counts, forgets the module path and
// the free space set for drives.
void reset_faults();

// Makes get_module_path store this Windows path instead of the running
// executable's.
void set_module_path(const char* windows_path);

// For the stand-ins: counts this call of the row and tells whether it must
// fail, storing the code.
bool take_fault(const char* row, unsigned long* code);

// For the library: whether the backend's table has a row of that name
// (defined with the stand-ins).
bool is_row(const char* row);

// For the stand-ins: the module path a test set, or null.
const char* module_path_override();

}  // namespace fault_injection
}  // namespace platform
