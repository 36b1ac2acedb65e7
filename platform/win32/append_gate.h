// What keeps the log's appends and the closing entry of a run ended by
// Ctrl+C or Ctrl+Break in order (Windows backend only).
#pragma once

namespace platform {

// Every append to a file holds the gate while it writes. The break handler
// takes it and never gives it back: an append under way ends first, and no
// entry follows the closing one. The thread that holds it may enter again.
void enter_append_gate();
void leave_append_gate();

}  // namespace platform
