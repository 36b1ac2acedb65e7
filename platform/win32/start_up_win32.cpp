// What the Windows program does before anything else: DLLs are loaded
// from System32 alone, and junctions made by non-administrators are not
// followed where the system can refuse them. The shell and COM load DLLs late (for the desktop
// shortcut), and by default Windows looks for them first in the folder of
// the exe and in the current folder: a download folder, where anybody may
// have left a DLL of the same name, which would then run with the
// operator's rights.
#include <windows.h>

#include "platform/win32/start_up.h"
#include "platform/win32/system_calls.h"

namespace platform {
namespace {

// A kernel32 function that came with a later Windows: looked up rather
// than imported, so that the exe starts where it is missing; null there.
template <typename Function>
Function later_function(const char* name) {
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    FARPROC found = kernel32 != nullptr ? system_calls().GetProcAddress(kernel32, name) : nullptr;
    Function function = nullptr;
    static_assert(sizeof found == sizeof function, "a function pointer is a function pointer");
    __builtin_memcpy(&function, &found, sizeof found);
    return function;
}

}  // namespace

// A junction that a standard user planted in a folder every user may change
// (DATA_HOME's tree) would send this process's writes where only
// administrators may write; the copy never follows one it meets, and here
// the system refuses the rest. SetProcessMitigationPolicy came with
// Windows 8, the policy with Windows 11: a system without it simply says no.
bool request_redirection_trust() {
    constexpr int PROCESS_REDIRECTION_TRUST_POLICY = 16;
    constexpr DWORD ENFORCE_REDIRECTION_TRUST = 0x1;
    auto set_policy =
        later_function<BOOL(WINAPI*)(int, PVOID, SIZE_T)>("SetProcessMitigationPolicy");
    DWORD flags = ENFORCE_REDIRECTION_TRUST;  // PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY
    return set_policy != nullptr &&
           set_policy(PROCESS_REDIRECTION_TRUST_POLICY, &flags, sizeof flags) != 0;
}

namespace {

constexpr DWORD SEARCH_SYSTEM32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

// SetDefaultDllDirectories came with Windows 8 (and an update of Windows 7);
// where it is missing, at least the current folder leaves the search.
__attribute__((constructor(101))) void before_anything_else() {
    auto set_default = later_function<BOOL(WINAPI*)(DWORD)>("SetDefaultDllDirectories");
    if (set_default == nullptr || !set_default(SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
    request_redirection_trust();
}

}  // namespace
}  // namespace platform
