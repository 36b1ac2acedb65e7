#include "scripts/database_stage.h"

#include "platform/platform.h"
#include "setup/database_command.h"
#include "scripts/generate_auto_install_sql.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "setup/log_event.h"
#include "setup/run_record.h"

namespace {

void say_not_started(const char* reason, const char* path) {
    report(OnConsole::line, "Error: SQL*Plus was not started because %s %s.", path, reason);
}

// SQL*Plus runs set_env.sql and the distribution's scripts from APP_HOME:
// an older one left there by an earlier run would install other values.
bool scripts_are_this_runs(const SetupParameters& p) {
    bool fresh = true;
    char path[PATH_CAPACITY];
    compose_text(path, sizeof path, "%s\\config\\set_env.sql", p.APP_HOME);
    if (!script_written(path)) {
        say_not_started("was not written by this run: it is missing or out of date", path);
        fresh = false;
    }
    // Each script auto_install.sql runs, not only those the distribution
    // happened to hold: one it lacked would be an older install's.
    for (const char* script : INSTALL_SCRIPTS) {
        compose_text(path, sizeof path, "%s\\%s", p.APP_HOME, script);
        if (!file_copied(path)) {
            say_not_started(
                "was not copied by this run: the distribution lacks it or it could not be copied",
                path);
            fresh = false;
        }
    }
    const char* const folders[] = {"install", "config"};
    for (const char* folder : folders) {
        compose_text(path, sizeof path, "%s\\%s", p.APP_HOME, folder);
        if (copy_failed_at(path)) {
            say_not_started(
                "did not receive every file of the distribution: its scripts may be missing or "
                "out of date",
                path);
            fresh = false;
        }
    }
    return fresh;
}

}  // namespace

bool run_database_stage(const SetupParameters& p) {
    bool written = generate_auto_install_sql(p);
    if (written) {
        print_line("SQL Script auto_install.sql created.");
        log_event("SQL script auto_install.sql created.");
    } else {
        report(OnConsole::line, "Error: SQL script auto_install.sql was not written.");
    }

    print_line("Creating database objects.");
    if (!written) {
        // SQL*Plus would only stop at its own prompt on a missing script.
        report(OnConsole::line,
               "Error: SQL*Plus was not started because auto_install.sql is missing.");
        return false;
    }
    if (!scripts_are_this_runs(p)) return false;
    char command[PATH_CAPACITY];
    make_database_command(p.APP_HOME, command, sizeof command);
    report(OnConsole::line, "Executing: %s", command);

    platform::CommandResult run = platform::run_command(command);
    if (!run.started) {
        report(OnConsole::line,
               "Error: The command could not be run. The database objects were not created.");
        return false;
    }
    const unsigned long status = run.exit_status;
    // Windows reports a program stopped by an exception or by Ctrl+C with
    // an NTSTATUS code, which reads best in hexadecimal.
    char shown[32];
    compose_text(shown, sizeof shown, status > 0xFFFF ? "0x%08lX" : "%lu", status);
    if (run.interrupted) {
        // SQL*Plus may have stopped in the middle of its prompt's line.
        report(OnConsole::after_line_break,
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
        report(OnConsole::line,
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
