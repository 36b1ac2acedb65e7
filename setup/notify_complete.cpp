#include "setup/notify_complete.h"

#include "input/read_answer.h"
#include <cstddef>

#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "setup/log_event.h"

namespace {

// The failed stages, and the log when entries of it were lost so far.
void compose_failed(char* out, std::size_t capacity, const char* failed_stages) {
    if (count_lost_log_entries() == 0) {
        copy_text(out, capacity, failed_stages);
        return;
    }
    compose_text(out, capacity, "%s%sinstall.log (%d entries lost)", failed_stages,
                 failed_stages[0] != '\0' ? ", " : "", count_lost_log_entries());
}

}  // namespace

bool notify_complete(const char* APP_HOME, const char* DATA_HOME, const char* DBSERVICE,
                     const char* APP_OWNER, const char* CONNECT_USER, const char* failed_stages) {
    // Printed, then logged: each entry keeps its line break, so an empty
    // line follows it in the log.
    const struct {
        const char* label;
        const char* value;
    } lines[] = {
        {"\nINSTALLATION SUMMARY:", ""},        {"=====================", ""},
        {"Database Service  : ", DBSERVICE},    {"Application Owner : ", APP_OWNER},
        {"Connection User   : ", CONNECT_USER}, {"Application Home  : ", APP_HOME},
        {"Data Home         : ", DATA_HOME},    {"Setup Log         : install.log", ""},
    };
    for (const auto& line : lines) write_format("%s%s\n", line.label, line.value);
    // Every entry is attempted before the lost ones are counted, so that
    // the count on the console is the whole run's, the summary's own too.
    for (const auto& line : lines) log_event("%s%s\n", line.label, line.value);
    char failed[600];
    compose_failed(failed, sizeof failed, failed_stages);
    if (failed[0] != '\0')
        log_event("These stages failed: %s. %s", failed,
                  count_lost_log_entries() > 0 ? "Entries are missing from this log."
                                               : "See the entries above for details.");
    log_event(failed[0] != '\0' ? "Installation completed with errors."
                                : "Installation completed.");
    log_on_interrupt(nullptr);

    // Counted again: the entries just lost count too.
    compose_failed(failed, sizeof failed, failed_stages);
    if (failed[0] != '\0') {
        write_format("\nThese stages failed: %s. %s\n", failed, where_to_find_details());
        print_line("\n\nInstallation finished with errors. Press RETURN to exit.");
    } else {
        print_line("\n\nInstallation complete. Press RETURN to exit.");
    }

    // The rest of the confirmation's line was taken before the stages ran;
    // wait for one more RETURN (or the end of the input).
    read_input_character();
    return failed[0] == '\0';
}
