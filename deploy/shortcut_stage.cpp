#include "deploy/shortcut_stage.h"

#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "setup/log_event.h"
#include "setup/run_record.h"

namespace {

// Prints and logs why the shortcut was not saved.
void report_failure(const platform::ShortcutResult& result, const char* name) {
    unsigned code = static_cast<unsigned>(result.code);
    switch (result.failed_step) {
        case platform::ShortcutStep::com_initialisation:
            report(OnConsole::line, "Error: Failed to initialize COM. HRESULT: 0x%X", code);
            break;
        case platform::ShortcutStep::object_creation:
            report(OnConsole::line, "Error: Could not create the shell link object. HRESULT: 0x%X",
                   code);
            break;
        case platform::ShortcutStep::interface_lookup:
            report(OnConsole::line,
                   "Error: Could not get the shell link's file interface. HRESULT: 0x%X", code);
            break;
        case platform::ShortcutStep::desktop_lookup:
            report(OnConsole::line, "Error: Could not retrieve desktop path.");
            break;
        case platform::ShortcutStep::link_path_too_long:
            report(OnConsole::line, "Error: The shortcut path for %s.lnk is too long.", name);
            break;
        case platform::ShortcutStep::save:
            report(OnConsole::line, "Error: Could not save the shortcut %s (Error Code: 0x%X)",
                   result.link_path, code);
            break;
        case platform::ShortcutStep::saved: break;
    }
}

}  // namespace

bool run_shortcut_stage(const SetupParameters& p) {
    char target[PATH_CAPACITY];
    char working_directory[PATH_CAPACITY];
    compose_text(target, sizeof target, "%s\\com\\startora.bat", p.APP_HOME);
    compose_text(working_directory, sizeof working_directory, "%s\\com", p.APP_HOME);
    // A shortcut to a file that is not there would only fail when clicked.
    unsigned long long size = 0;
    if (!platform::get_file_size(target, &size)) {
        report(OnConsole::line,
               "Error: No shortcut was created on the Desktop for %s: %s does not exist.",
               p.APP_OWNER, target);
        return false;
    }
    // One this run did not bring may be anyone's.
    if (copy_failed_at(target)) {
        report(OnConsole::line,
               "Error: No shortcut was created on the Desktop for %s: %s was not copied by "
               "this run.",
               p.APP_OWNER, target);
        return false;
    }
    platform::ShortcutResult result = platform::save_desktop_shortcut(
        target, working_directory, "Start Oracle Application", p.APP_OWNER);
    if (result.failed_step != platform::ShortcutStep::saved) {
        report_failure(result, p.APP_OWNER);
        report(OnConsole::line, "Error: No shortcut was created on the Desktop for %s.",
               p.APP_OWNER);
        return false;
    }
    write_format("Shortcut created on Desktop: %s.lnk\n", p.APP_OWNER);
    log_event("Shortcut created on Desktop: %s.lnk\n", p.APP_OWNER);
    return true;
}
