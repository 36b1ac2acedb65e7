// What the access checks and the protection of new folders share: accounts
// as SID strings (S-1-5-...), the form the checks compare and the security
// descriptors of new folders name, and whether a volume keeps lists.
#pragma once

#include <windows.h>

#include <cstddef>

namespace platform {

// Stores the SID's string form. False when it cannot be had or would not fit.
bool sid_text(PSID sid, char* field, std::size_t capacity);

// Stores the string form of the user this process runs as. False when it
// cannot be had or would not fit.
bool running_user_sid(char* field, std::size_t capacity);

enum class AccessLists { kept, not_kept, unknown };

// Whether the path's volume keeps access control lists (not FAT, exFAT,
// nor a share whose server keeps none); unknown when it cannot be asked.
AccessLists volume_access_lists(const char* path);

}  // namespace platform
