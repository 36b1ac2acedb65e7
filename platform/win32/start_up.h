// What the Windows program asks of the system before anything else
// (start_up_win32.cpp); the steps are run there at start and are here for
// their tests.
#pragma once

namespace platform {

// Asks the system to refuse, for this process, junctions that
// non-administrators made (RedirectionGuard), where the system has it
// (Windows 11, Server 2022 and later): looked up at run time through the
// system-call table. True when the system took the request.
bool request_redirection_trust();

}  // namespace platform
