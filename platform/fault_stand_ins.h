// The fault seam's stand-in, one template for every row of a backend's
// system-call table (each backend's test library only): it fails the call
// where a test injected a fault on the row, the error set and the row's
// failure value returned, and otherwise calls the function the row had.
// Included after the backend's system_calls.h.
#pragma once

#include <cstring>

#include "platform/fault_injection.h"

namespace platform {
namespace fault_injection {

// Sets the error as the backend's system does (errno, the last error).
void set_error(unsigned long code);

template <typename Row, typename Function>
struct StandIn;

template <typename Row, typename Result, typename... Arguments>
struct StandIn<Row, Result(SETUP_SYSTEM_CALL_CONVENTION*)(Arguments...)> {
    static inline Result(SETUP_SYSTEM_CALL_CONVENTION* through)(Arguments...) = nullptr;
    static Result SETUP_SYSTEM_CALL_CONVENTION call(Arguments... arguments) {
        unsigned long code = 0;
        if (!take_fault(Row::name, &code)) return through(arguments...);
        set_error(code);
        return Row::failure();
    }
};

// For the backend's list: the row's stand-in (row_stand_in), the stand-in
// put in the row, and the test for a row of that name (in is_row).
#define SETUP_STAND_IN(row, real, failure_value)  \
    struct row##_row {                            \
        static constexpr const char* name = #row; \
        static auto failure() {                   \
            return failure_value;                 \
        }                                         \
    };                                            \
    using row##_stand_in = StandIn<row##_row, decltype(system_calls().row.current)>;
#define SETUP_PUT_STAND_IN(row, real, failure)            \
    row##_stand_in::through = system_calls().row.current; \
    system_calls().row.current = row##_stand_in::call;
#define SETUP_IS_ROW(name, real, failure) \
    if (std::strcmp(row, #name) == 0) return true;

}  // namespace fault_injection
}  // namespace platform
