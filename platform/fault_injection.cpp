// The state behind fault_injection.h: all empty unless a test sets it.
#include "platform/fault_injection.h"

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace fault_injection {
namespace {

struct Fault {
    const char* row = "";     // the caller's name of the row; empty: unused
    unsigned long calls = 0;  // calls of the row since the fault was set
    unsigned long first = 0;
    unsigned long count = 0;
    unsigned long code = 0;
};

Fault faults[8];
char module_path[260];

char free_space_root[260];  // empty: none set
unsigned long long free_space_bytes;

// True when the path starts with the root, letter case aside.
bool starts_with(const char* path, const char* root) {
    for (; *root != '\0'; ++path, ++root) {
        if (std::toupper(static_cast<unsigned char>(*path)) !=
            std::toupper(static_cast<unsigned char>(*root)))
            return false;
    }
    return true;
}

Fault* fault_of(const char* row) {
    for (Fault& fault : faults)
        if (std::strcmp(fault.row, row) == 0) return &fault;
    return nullptr;
}

}  // namespace

void inject_fault(const char* row, unsigned long first, unsigned long count, unsigned long code) {
    Fault* fault = fault_of(row);
    if (fault == nullptr) fault = fault_of("");
    // A fault that could never fire would let its test pass unseen.
    if (!is_row(row) || fault == nullptr) {
        std::fprintf(stderr, "cannot fail the system call row \"%s\"\n", row);
        std::abort();
    }
    *fault = Fault{row, 0, first, count, code};
}

void reset_faults() {
    for (Fault& fault : faults) fault = Fault();
    module_path[0] = '\0';
    free_space_root[0] = '\0';
}

void set_free_space(const char* root, unsigned long long bytes) {
    std::snprintf(free_space_root, sizeof free_space_root, "%s", root);
    free_space_bytes = bytes;
}

bool free_space_override(const char* folder, unsigned long long* bytes) {
    if (free_space_root[0] == '\0' || !starts_with(folder, free_space_root)) return false;
    *bytes = free_space_bytes;
    return true;
}

void set_module_path(const char* windows_path) {
    std::snprintf(module_path, sizeof module_path, "%s", windows_path);
}

bool take_fault(const char* row, unsigned long* code) {
    Fault* fault = row[0] != '\0' ? fault_of(row) : nullptr;
    if (fault == nullptr) return false;
    unsigned long call = ++fault->calls;
    if (call < fault->first) return false;
    if (fault->count != 0 && call - fault->first >= fault->count) return false;
    *code = fault->code;
    return true;
}

const char* module_path_override() {
    return module_path[0] != '\0' ? module_path : nullptr;
}

}  // namespace fault_injection
}  // namespace platform
