#include "deploy/copy_stage.h"

#include "deploy/copy_directory.h"
#include "platform/platform.h"
#include "setup/console_output.h"
#include "setup/log_event.h"

namespace {

// The bar goes two rows below the cursor; no row when output is no console.
// The two rows are made by line breaks rather than counted, so that near the
// bottom of the console's buffer it scrolls and the row exists: a bar row
// beyond the buffer would put every draw after the previous one.
long bar_row() {
    long row;
    if (!platform::get_cursor_row(&row)) return -1;
    write_text("\n\n");
    if (!platform::get_cursor_row(&row)) return -1;
    return row;
}

bool copy_home(const char* label, const char* source, const char* destination) {
    write_format("Creating %s. Copying files from %s to %s...\n", label, source, destination);
    int errors = copy_directory(source, destination, bar_row());
    if (errors == 0) {
        write_format("%s created.\n\n", label);
        log_event("%s created.", label);
        return true;
    }
    write_format("Error: %s was not completely created: %d errors. %s\n\n", label, errors,
                 where_to_find_details());
    log_event("Error: %s was not completely created: %d errors.", label, errors);
    return false;
}

}  // namespace

bool run_copy_stage(const SetupParameters& p) {
    bool app_home = copy_home("APP_HOME", p.SOURCE_DIR, p.APP_HOME);
    bool data_home = copy_home("DATA_HOME", p.SOURCE_DATA_DIR, p.DATA_HOME);
    return app_home && data_home;
}
