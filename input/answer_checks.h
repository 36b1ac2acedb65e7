// The small text tests that the prompts apply to answers.
#pragma once

// Characters that the generated batch file and SQL*Plus scripts cannot
// carry in the port (they would inject commands or break quoting).
constexpr const char* PORT_REFUSED_CHARACTERS = " &|<>^%\"'";
// The service name, owner and connection user: what the scripts cannot
// carry, and what Windows refuses in file and folder names (the service and
// owner name folders of APP_HOME, the owner the shortcut file).
constexpr const char* NAME_REFUSED_CHARACTERS = " &|<>^%\"'\\/:*?";
// The application home is quoted in the batch file and stands inside
// single quotes in the SQL*Plus @ commands.
constexpr const char* APP_DIRECTORY_REFUSED_CHARACTERS = "\"%'";
// The data home stands unquoted in the batch file, and inside single quotes
// in the schema script's CREATE DIRECTORY.
constexpr const char* DATA_DIRECTORY_REFUSED_CHARACTERS = "\"%'^|<>";

// The message that refuses an answer holding a control character.
constexpr const char* CONTROL_CHARACTER_REFUSAL =
    "Error: The answer must not contain control characters.\n";

// True when the text holds a control character (below 0x20, or 0x7F).
bool has_control_character(const char* text);

// Returns the message that refuses an answer the generated scripts write
// into their lines (the service name, owner, connection user and port;
// the message ends in a line break), or null. Refused: any control
// character, which would reach the echo, the log and both scripts raw; and
// a hyphen at the end, which SQL*Plus takes as the mark that a command goes
// on on the next line (DEFINE v_app_owner = - would swallow the ACCEPT
// after it).
const char* script_value_refusal(const char* answer);

// True only when the path names an existing directory. A path ending in a
// backslash counts as missing unless it is a drive root (C:\) or the root
// of a network share (\\server\share\).
bool directory_exists(const char* path);

// Removes leading blanks, and trailing blanks, line feeds and carriage
// returns, keeping the first character after the leading blanks. In place.
void trim_whitespace(char* text);
