#include "setup/notify_complete.h"

#include "input/read_answer.h"
#include "setup/console_output.h"
#include "setup/log_event.h"

namespace {

// The five summary lines; each ends in a line break, in the log too.
void write_summary_values(const char* APP_HOME, const char* DATA_HOME, const char* DBSERVICE,
                          const char* APP_OWNER, const char* CONNECT_USER) {
    write_format("Database Service  : %s\n", DBSERVICE);
    write_format("Application Owner : %s\n", APP_OWNER);
    write_format("Connection User   : %s\n", CONNECT_USER);
    write_format("Application Home  : %s\n", APP_HOME);
    write_format("Data Home         : %s\n", DATA_HOME);
}

void log_summary_values(const char* APP_HOME, const char* DATA_HOME, const char* DBSERVICE,
                        const char* APP_OWNER, const char* CONNECT_USER) {
    log_event("Database Service  : %s\n", DBSERVICE);
    log_event("Application Owner : %s\n", APP_OWNER);
    log_event("Connection User   : %s\n", CONNECT_USER);
    log_event("Application Home  : %s\n", APP_HOME);
    log_event("Data Home         : %s\n", DATA_HOME);
}

}  // namespace

void notify_complete(const char* APP_HOME, const char* DATA_HOME, const char* DBSERVICE,
                     const char* APP_OWNER, const char* CONNECT_USER, const char* failed_stages) {
    print_line("\nINSTALLATION SUMMARY:");
    print_line("=====================");
    write_summary_values(APP_HOME, DATA_HOME, DBSERVICE, APP_OWNER, CONNECT_USER);
    print_line("Setup Log         : install.log");
    bool failed = failed_stages[0] != '\0';
    if (failed) {
        write_format("\nThese stages failed: %s. %s\n", failed_stages, where_to_find_details());
        print_line("\n\nInstallation finished with errors. Press RETURN to exit.");
    } else {
        print_line("\n\nInstallation complete. Press RETURN to exit.");
    }

    log_event("\nINSTALLATION SUMMARY:\n");
    log_event("=====================\n");
    log_summary_values(APP_HOME, DATA_HOME, DBSERVICE, APP_OWNER, CONNECT_USER);
    log_event("Setup Log         : install.log\n");
    if (failed && count_lost_log_entries() > 0)
        log_event("These stages failed: %s. Entries are missing from this log.", failed_stages);
    else if (failed)
        log_event("These stages failed: %s. See the entries above for details.", failed_stages);

    // The rest of the confirmation's line was taken before the stages ran;
    // wait for one more RETURN (or the end of the input).
    read_input_character();
}
