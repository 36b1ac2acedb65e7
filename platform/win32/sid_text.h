// Accounts as SID strings (S-1-5-...), the form the access checks compare
// and the security descriptors of new folders name.
#pragma once

#include <windows.h>

#include <cstddef>

namespace platform {

// Stores the SID's string form. False when it cannot be had or would not fit.
bool sid_text(PSID sid, char* field, std::size_t capacity);

// Stores the string form of the user this process runs as. False when it
// cannot be had or would not fit.
bool running_user_sid(char* field, std::size_t capacity);

}  // namespace platform
