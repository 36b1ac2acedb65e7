// The state behind fault_injection.h: all empty unless a test sets it.
#include "platform/fault_injection.h"

#include <cstddef>
#include <cstdio>

namespace platform {
namespace fault_injection {
namespace {

struct Fault {
    unsigned long calls = 0;  // calls of the operation so far
    unsigned long first = 0;  // 0: no fault
    unsigned long count = 0;
    unsigned long code = 0;
};

Fault faults[static_cast<std::size_t>(Operation::count)];
char module_path[260];

struct FreeSpace {
    char root[260];  // empty: unused
    unsigned long long bytes;
};
FreeSpace free_spaces[4];

bool same_root(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 'a' + 'A') : *a;
        char y = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 'a' + 'A') : *b;
        if (x != y) return false;
        if (x == '\0') return true;
    }
}

}  // namespace

void inject_fault(Operation operation, unsigned long first, unsigned long count,
                  unsigned long code) {
    Fault& fault = faults[static_cast<std::size_t>(operation)];
    fault.first = first;
    fault.count = count;
    fault.code = code;
}

void reset_faults() {
    for (Fault& fault : faults) fault = Fault();
    module_path[0] = '\0';
    for (FreeSpace& space : free_spaces) space = FreeSpace();
}

void set_free_space(const char* root, unsigned long long bytes) {
    for (FreeSpace& space : free_spaces) {
        if (space.root[0] == '\0' || same_root(space.root, root)) {
            std::snprintf(space.root, sizeof space.root, "%s", root);
            space.bytes = bytes;
            return;
        }
    }
}

bool free_space_override(const char* root, unsigned long long* bytes) {
    for (const FreeSpace& space : free_spaces) {
        if (space.root[0] != '\0' && same_root(space.root, root)) {
            *bytes = space.bytes;
            return true;
        }
    }
    return false;
}

void set_module_path(const char* windows_path) {
    std::snprintf(module_path, sizeof module_path, "%s", windows_path);
}

bool take_fault(Operation operation, unsigned long* code) {
    Fault& fault = faults[static_cast<std::size_t>(operation)];
    unsigned long call = ++fault.calls;
    if (fault.first == 0 || call < fault.first) return false;
    if (fault.count != 0 && call - fault.first >= fault.count) return false;
    *code = fault.code;
    return true;
}

const char* module_path_override() {
    return module_path[0] != '\0' ? module_path : nullptr;
}

}  // namespace fault_injection
}  // namespace platform
