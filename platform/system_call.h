// One row of a backend's system-call table: the call's name, the function
// the backend calls and the system's own one. The program calls a row as it
// would call the function; only a test puts another function in its place.
#pragma once

#include <utility>

namespace platform {

template <typename Function>
struct SystemCall {
    const char* name;
    Function current;
    Function real;

    template <typename... Arguments>
    auto operator()(Arguments&&... arguments) const {
        return current(std::forward<Arguments>(arguments)...);
    }
};

// The table of rows a backend's list names: ROW(name, function type, the
// system's function, what a failed call returns).
#define SETUP_SYSTEM_CALL_MEMBER(name, type, real, failure) SystemCall<type> name;
#define SETUP_SYSTEM_CALL_REAL(name, type, real, failure) calls.name = {#name, real, real};

}  // namespace platform
