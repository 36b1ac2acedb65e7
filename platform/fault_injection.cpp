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
