#include "scripts/script_file.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "setup/console_output.h"
#include "setup/log_event.h"
#include "setup/run_record.h"

bool write_script_file(const char* path, const char* text) {
    std::FILE* file = platform::open_file(path, "wb");
    if (file == nullptr) {
        print_line("Error: Cannot open file for writing!");
        return false;
    }
    bool written = true;
    const char* start = text;
    for (const char* p = text; written; ++p) {
        if (*p != '\n' && *p != '\0') continue;
        std::size_t length = static_cast<std::size_t>(p - start);
        if (length > 0 && std::fwrite(start, 1, length, file) != length) written = false;
        if (*p == '\0') break;
        if (written && std::fwrite("\r\n", 1, 2, file) != 2) written = false;
        start = p + 1;
    }
    if (std::fflush(file) != 0) written = false;
    if (std::fclose(file) != 0) written = false;
    if (!written) {
        write_format(
            "Error: Could not write %s completely (is the disk full?). The file was removed.\n",
            path);
        platform::remove_file(path);
    }
    if (written) note_script_written(path);
    return written;
}

bool report_script(bool written, const char* created_text, const char* not_written_text) {
    const char* text = written ? created_text : not_written_text;
    print_line(text);
    log_event("%s", text);
    return written;
}
