// The fault seam of the Win32 backend: every row of its system-call table
// gets a stand-in that fails the call where a test injected a fault on that
// row, and otherwise lets it through. They are put into the table when the
// test exe starts.
#include <windows.h>

#include <cstring>

#include "platform/fault_injection.h"
#include "platform/win32/system_calls.h"

namespace platform {
namespace fault_injection {
namespace {

template <typename Row, typename Function>
struct StandIn;

// Fails the row's call with its failure value and last error, or lets it
// through.
template <typename Row, typename Result, typename... Arguments>
struct StandIn<Row, Result(WINAPI*)(Arguments...)> {
    static inline Result(WINAPI* through)(Arguments...) = nullptr;
    static Result WINAPI call(Arguments... arguments) {
        unsigned long code = 0;
        if (!take_fault(Row::name, &code)) return through(arguments...);
        SetLastError(code);
        return Row::failure();
    }
};

#define SETUP_STAND_IN(row, real, failure_value)  \
    struct row##_row {                            \
        static constexpr const char* name = #row; \
        static auto failure() {                   \
            return failure_value;                 \
        }                                         \
    };                                            \
    using row##_stand_in = StandIn<row##_row, decltype(system_calls().row.current)>;
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

bool is_row(const char* row) {
#define SETUP_IS_ROW(name, real, failure) \
    if (std::strcmp(row, #name) == 0) return true;
    SETUP_WIN32_SYSTEM_CALLS(SETUP_IS_ROW)
    return false;
}

namespace {

struct StandIns {
    StandIns() {
        SystemCalls& calls = system_calls();
#define SETUP_PUT_STAND_IN(row, real, failure)   \
    row##_stand_in::through = calls.row.current; \
    calls.row.current = row##_stand_in::call;
        SETUP_WIN32_SYSTEM_CALLS(SETUP_PUT_STAND_IN)
        GetModuleFileNameW_stand_in::through = module_path;
        GetDiskFreeSpaceExA_stand_in::through = free_space;
    }
} stand_ins;

}  // namespace
}  // namespace fault_injection
}  // namespace platform
