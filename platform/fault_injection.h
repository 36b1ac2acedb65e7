// Test-only control over a backend: makes chosen calls of the file
// operations fail with a given Windows error code, and lets a test that
// runs the setup in its own process name the executable's path. Only tests
// include this header; the program itself never calls the setters, and
// nothing outside a test (no argument, no environment variable) reaches
// them. Each backend's test library (never linked into the program) puts
// failing stand-ins into the backend's system-call table, which ask
// take_fault.
#pragma once

namespace platform {
namespace fault_injection {

enum class Operation {
    copy_file,           // copy_file returns the code, copies nothing
    create_directories,  // create_directories returns the code, creates nothing
    open_file,           // write_text_file cannot create the file (not_opened)
    write_file,          // write_text_file creates the file, but every write to it fails
    append_open,         // append_to_file cannot open the file
    append_write,        // append_to_file opens the file, but writes nothing
    find_first_entry,    // the enumeration cannot be started (null)
    free_space,          // get_free_space cannot learn the free space (false)
    count
};

// From the first-th call of the operation on (counting from 1 since the last
// reset), count calls fail with the code; count 0 means every call from the
// first-th on. One fault per operation: a later call replaces it.
// append_write counts only the calls that append_open let through.
void inject_fault(Operation operation, unsigned long first, unsigned long count,
                  unsigned long code);

// Makes get_free_space report this many bytes free on the drive or share
// whose root is given (C:\ or \\server\share\, any case), as a volume of
// its own; other drives report their real free space. A few drives can be
// set at once.
void set_free_space(const char* root, unsigned long long bytes);

// For the stand-ins: the free space a test set for the root of the folder
// asked, if any, and which of the drives set it is (each is a volume of its
// own).
bool free_space_override(const char* folder, unsigned long long* bytes,
                         unsigned* drive = nullptr);

// Removes every fault, restarts the counts, forgets the module path and
// the free space set for drives.
void reset_faults();

// Makes get_module_path store this Windows path instead of the running
// executable's.
void set_module_path(const char* windows_path);

// For the stand-ins: counts this call of the operation and tells whether it
// must fail, storing the code.
bool take_fault(Operation operation, unsigned long* code);

// For the stand-ins: the module path a test set, or null.
const char* module_path_override();

}  // namespace fault_injection
}  // namespace platform
