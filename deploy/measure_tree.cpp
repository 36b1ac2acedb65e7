#include "deploy/measure_tree.h"

#include <cstring>

#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "setup/log_event.h"
#include "setup/setup_parameters.h"
#include "setup/windows_path.h"

void add_file_size(TreeSize* size, unsigned long long bytes) {
    size->bytes += bytes;
    ++size->files;
    for (int i = 0; i < ROUNDED_UNITS; ++i) {
        const unsigned long long unit = 512ULL << i;
        size->rounded[i] += (bytes + unit - 1) / unit * unit;
    }
}

unsigned long long room_on_volume(const TreeSize& size, unsigned long long allocation_unit) {
    if (allocation_unit <= 1) return size.bytes;
    for (int i = 0; i < ROUNDED_UNITS; ++i)
        if (allocation_unit <= (512ULL << i) && (512ULL << i) % allocation_unit == 0)
            return size.rounded[i];
    // An unusual unit: at most one unit less one byte more per file.
    return size.bytes + size.files * (allocation_unit - 1);
}

namespace {

// Names read from the disk, as the console and the log show them: with
// their control characters spelled out.
constexpr std::size_t SHOWN_CAPACITY = 8 * PATH_CAPACITY + 1;

void report_unreadable(const char* folder) {
    char shown[SHOWN_CAPACITY];
    spell_control_characters(shown, sizeof shown, folder);
    report(OnConsole::line,
           "Error: Could not read the folder %s, so the paths of the distribution cannot be "
           "measured.",
           shown);
}

// Measures one folder; relative is the length of its path below the root
// (0 for the root itself).
bool measure_level(const char* folder, std::size_t relative, std::size_t* longest, TreeSize* size) {
    char pattern[PATH_CAPACITY];
    platform::DirectoryEntry entry;
    platform::DirectoryScan* scan = nullptr;
    if (compose_text(pattern, sizeof pattern, "%s\\*", folder)) {
        scan = platform::find_first_entry(pattern, &entry);
    }
    if (scan == nullptr) {
        report_unreadable(folder);
        return false;
    }
    bool readable = true;
    do {
        if (is_dot_entry(entry.name)) continue;
        // A name the system cannot spell is never copied (the copy reports
        // it), so it does not count, and its folder cannot be opened.
        if (!entry.has_exact_name) continue;
        char path[PATH_CAPACITY];
        if (!compose_text(path, sizeof path, "%s\\%s", folder, entry.name)) {
            char shown_folder[SHOWN_CAPACITY];
            char shown_name[SHOWN_CAPACITY];
            spell_control_characters(shown_folder, sizeof shown_folder, folder);
            spell_control_characters(shown_name, sizeof shown_name, entry.name);
            report(OnConsole::line,
                   "Error: The path %s\\%s is longer than %u characters, so the paths of the "
                   "distribution cannot be measured.",
                   shown_folder, shown_name, static_cast<unsigned>(PATH_CAPACITY - 1));
            readable = false;
            break;
        }
        // Below the root each name follows a backslash.
        std::size_t length = relative + (relative > 0 ? 1 : 0) + std::strlen(entry.name);
        if (length > *longest) *longest = length;
        if (!entry.is_directory) add_file_size(size, entry.size);
        if (entry.is_directory && !measure_level(path, length, longest, size)) {
            readable = false;
            break;
        }
    } while (platform::find_next_entry(scan, &entry));
    platform::find_close(scan);
    return readable;
}

}  // namespace

bool measure_tree(const char* folder, std::size_t* longest, TreeSize* size) {
    *longest = 0;
    *size = TreeSize();
    return measure_level(folder, 0, longest, size);
}
