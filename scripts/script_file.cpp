#include "scripts/script_file.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "setup/console_output.h"
#include "setup/log_event.h"
#include "setup/run_record.h"

bool write_script_file(const char* path, bool composed, const char* text,
                       const char* generated_label) {
    write_format("Creating %s...\n", path);
    if (!composed) {
        print_line("Error: The script text does not fit its buffer.");
        return false;
    }
    const platform::WriteOutcome outcome = platform::write_text_file(path, text);
    if (outcome == platform::WriteOutcome::not_opened) {
        print_line("Error: Cannot open file for writing!");
        return false;
    }
    if (outcome != platform::WriteOutcome::written) {
        write_format(
            "Error: Could not write %s completely (is the disk full?). The file was removed.\n",
            path);
        platform::remove_file(path);
        return false;
    }
    note_script_written(path);
    write_format("%s%s\n", generated_label, path);
    return true;
}

bool report_script(bool written, const char* created_text, const char* not_written_text) {
    const char* text = written ? created_text : not_written_text;
    report(OnConsole::line, "%s", text);
    return written;
}
