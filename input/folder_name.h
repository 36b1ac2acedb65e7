// The rule that a name which becomes a folder (the service name and owner
// in APP_HOME, the connection user beside them) is one Windows can create.
#pragma once

// Returns the message that refuses the name (ending in a line break), or
// null when the name can name a folder. Refused: any control character
// (below 0x20, and 0x7F); "." and ".."; the device names CON, PRN, AUX,
// NUL, COM1 to COM9 and LPT1 to LPT9 in any case, alone or followed by a
// dot and anything; a name ending in a dot. The characters Windows refuses
// in file names are the caller's refused characters.
const char* folder_name_refusal(const char* name);
