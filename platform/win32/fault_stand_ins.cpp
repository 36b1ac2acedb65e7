// The fault seam of the Win32 backend: every row of its system-call table
// gets a stand-in that fails the call where a test injected a fault on that
// row, and otherwise lets it through. They are put into the table when the
// test exe starts.
#include <windows.h>

#include "platform/win32/system_calls.h"  // first: its calling convention

#include "platform/fault_stand_ins.h"

namespace platform {
namespace fault_injection {
namespace {

SETUP_WIN32_SYSTEM_CALLS(SETUP_STAND_IN)

DWORD WINAPI module_path(HMODULE module, LPWSTR path, DWORD capacity) {
    const char* chosen = module_path_override();
    if (chosen == nullptr) return system_calls().GetModuleFileNameW.real(module, path, capacity);
    int length = MultiByteToWideChar(CP_ACP, 0, chosen, -1, path, static_cast<int>(capacity));
    return length > 0 ? static_cast<DWORD>(length - 1) : 0;
}

BOOL WINAPI free_space(LPCSTR folder, PULARGE_INTEGER available, PULARGE_INTEGER total,
                       PULARGE_INTEGER total_free) {
    unsigned long long bytes = 0;
    if (folder == nullptr || !free_space_override(folder, &bytes))
        return system_calls().GetDiskFreeSpaceExA.real(folder, available, total, total_free);
    if (available != nullptr) available->QuadPart = bytes;
    if (total != nullptr) total->QuadPart = bytes;
    if (total_free != nullptr) total_free->QuadPart = bytes;
    return TRUE;
}

}  // namespace

void set_error(unsigned long code) {
    SetLastError(code);
}

bool is_row(const char* row) {
    SETUP_WIN32_SYSTEM_CALLS(SETUP_IS_ROW)
    return false;
}

namespace {

struct StandIns {
    StandIns() {
        SETUP_WIN32_SYSTEM_CALLS(SETUP_PUT_STAND_IN)
        GetModuleFileNameW_stand_in::through = module_path;
        GetDiskFreeSpaceExA_stand_in::through = free_space;
    }
} stand_ins;

}  // namespace
}  // namespace fault_injection
}  // namespace platform
