// One row of a backend's system-call table: the call's name, the function
// the backend calls and the system's own one. The program calls a row as it
// would call the function; only a test puts another function in its place.
#pragma once

#include <utility>

namespace platform {

// The calling convention of the backend's system functions (and of the
// stand-ins that take their place).
#ifndef SETUP_SYSTEM_CALL_CONVENTION
#define SETUP_SYSTEM_CALL_CONVENTION
#endif

// A function's pointer type without noexcept or attributes, so that a
// stand-in may take its place (declared only, for decltype).
template <typename Result, typename... Arguments>
auto plain(Result(SETUP_SYSTEM_CALL_CONVENTION*)(Arguments...))
    -> Result(SETUP_SYSTEM_CALL_CONVENTION*)(Arguments...);
template <typename Result, typename... Arguments>
auto plain(Result (*)(Arguments...) noexcept) -> Result (*)(Arguments...);

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

// The table of rows a backend's list names: ROW(name, the system's
// function, what a failed call returns with the error set).
#define SETUP_SYSTEM_CALL_MEMBER(name, real, failure) SystemCall<decltype(plain(&real))> name;
#define SETUP_SYSTEM_CALL_REAL(name, real, failure) calls.name = {#name, real, real};

// A backend's table of the rows its list names, and system_calls(), the
// table in use. It starts with the system's own functions and is made at
// its first use, so that start-up steps that run before the program's
// other static data is made may use it.
#define SETUP_SYSTEM_CALL_TABLE(list)                  \
    struct SystemCalls {                               \
        list(SETUP_SYSTEM_CALL_MEMBER)                 \
    };                                                 \
    inline SystemCalls& system_calls() {               \
        static SystemCalls in_use = [] {               \
            SystemCalls calls;                         \
            list(SETUP_SYSTEM_CALL_REAL) return calls; \
        }();                                           \
        return in_use;                                 \
    }

}  // namespace platform
