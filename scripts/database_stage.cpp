#include "scripts/database_stage.h"

#include "platform/platform.h"
#include "setup/database_command.h"
#include "scripts/generate_auto_install_sql.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "setup/log_event.h"

bool run_database_stage(const SetupParameters& p) {
    bool written = generate_auto_install_sql(p);
    if (written) {
        print_line("SQL Script auto_install.sql created.");
        log_event("SQL script auto_install.sql created.");
    } else {
        print_line("Error: SQL script auto_install.sql was not written.");
        log_event("Error: SQL script auto_install.sql was not written.");
    }

    print_line("Creating database objects.");
    if (!written) {
        // SQL*Plus would only stop at its own prompt on a missing script.
        print_line("Error: SQL*Plus was not started because auto_install.sql is missing.");
        log_event("Error: SQL*Plus was not started because auto_install.sql is missing.");
        return false;
    }
    char command[PATH_CAPACITY];
    make_database_command(p.APP_HOME, command, sizeof command);
    write_format("Executing: %s\n", command);
    log_event("Executing: %s", command);

    platform::CommandResult run = platform::run_command(command);
    if (!run.started) {
        print_line("Error: The command could not be run. The database objects were not created.");
        log_event("Error: The command could not be run. The database objects were not created.");
        return false;
    }
    const unsigned long status = run.exit_status;
    // Windows reports a program stopped by an exception or by Ctrl+C with
    // an NTSTATUS code, which reads best in hexadecimal.
    char shown[32];
    if (status > 0xFFFF) {
        compose_text(shown, sizeof shown, "0x%08lX", status);
    } else {
        compose_text(shown, sizeof shown, "%lu", status);
    }
    if (run.interrupted) {
        // SQL*Plus may have stopped in the middle of its prompt's line.
        write_format(
            "\nError: SQL*Plus was interrupted by Ctrl+C or Ctrl+Break (exit status %s). The "
            "database objects may not have been created.\n",
            shown);
        log_event(
            "Error: SQL*Plus was interrupted by Ctrl+C or Ctrl+Break (exit status %s). The "
            "database objects may not have been created.",
            shown);
        return false;
    }
    if (status == 0) {
        log_event("Database objects created.");
        return true;
    }
    if (status == platform::COMMAND_NOT_FOUND_STATUS) {
        print_line(
            "Error: sqlplus (SQL*Plus) was not found. It must be on PATH; Oracle Express "
            "installs it. The database objects were not created.");
        log_event(
            "Error: sqlplus (SQL*Plus) was not found. It must be on PATH; Oracle Express "
            "installs it. The database objects were not created.");
        return false;
    }
    write_format(
        "Error: SQL*Plus ended with exit status %s. The database objects may not have "
        "been created; see its output above.\n",
        shown);
    log_event(
        "Error: SQL*Plus ended with exit status %s. The database objects may not have "
        "been created.",
        shown);
    return false;
}
