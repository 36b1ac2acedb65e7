// What the Windows program does before anything else: DLLs are loaded
// from System32 alone. The shell and COM load DLLs late (for the desktop
// shortcut), and by default Windows looks for them first in the folder of
// the exe and in the current folder: a download folder, where anybody may
// have left a DLL of the same name, which would then run with the
// operator's rights.
#include <windows.h>

namespace {

constexpr DWORD SEARCH_SYSTEM32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

// SetDefaultDllDirectories came with Windows 8 (and an update of Windows 7):
// looked up rather than imported, so the exe starts where it is missing,
// and there at least the current folder leaves the search.
__attribute__((constructor(101))) void load_dlls_from_system32_only() {
    using SetDefault = BOOL(WINAPI*)(DWORD);
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    FARPROC found =
        kernel32 != nullptr ? GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
    SetDefault set_default = nullptr;
    static_assert(sizeof found == sizeof set_default, "a function pointer is a function pointer");
    __builtin_memcpy(&set_default, &found, sizeof found);
    if (set_default != nullptr && set_default(SEARCH_SYSTEM32)) return;
    SetDllDirectoryW(L"");
}

}  // namespace
