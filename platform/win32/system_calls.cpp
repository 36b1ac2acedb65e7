// The table starts with the system's own functions.
#include "platform/win32/system_calls.h"

#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdlib>

namespace platform {

namespace {

int WINAPI runtime_stat(const char* path, struct _stat* status) {
    return _stat(path, status);
}

int WINAPI run_system(const char* command) {
    return std::system(command);
}

}  // namespace

SystemCalls& system_calls() {
    static SystemCalls in_use = [] {
        SystemCalls calls;
        SETUP_WIN32_SYSTEM_CALLS(SETUP_SYSTEM_CALL_REAL)
        return calls;
    }();
    return in_use;
}

}  // namespace platform
