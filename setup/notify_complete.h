// The closing summary.
#pragma once

// Prints and logs the summary. failed_stages names the stages that failed,
// separated by commas, or is empty when every stage succeeded. Then waits
// for RETURN (or the end of input).
void notify_complete(const char* APP_HOME, const char* DATA_HOME, const char* DBSERVICE,
                     const char* APP_OWNER, const char* CONNECT_USER, const char* failed_stages);
