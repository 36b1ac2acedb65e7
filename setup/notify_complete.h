// The closing summary.
#pragma once

// Prints and logs the summary. failed_stages names the stages that failed,
// separated by commas, or is empty when every stage succeeded; the log is
// added when entries of it were lost, with their number (the summary's own
// and the closing entry's included). Logs the closing entry, "Installation
// completed." or "Installation completed with errors.", then waits for
// RETURN (or the end of input). True when nothing failed.
bool notify_complete(const char* APP_HOME, const char* DATA_HOME, const char* DBSERVICE,
                     const char* APP_OWNER, const char* CONNECT_USER, const char* failed_stages);
