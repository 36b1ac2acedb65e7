#include "deploy/copy_directory.h"

#include <cstring>

#include "deploy/show_progress_bar.h"
#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "setup/log_event.h"
#include "setup/run_record.h"
#include "setup/setup_parameters.h"
#include "setup/windows_path.h"

namespace {

// A path as the console and the log show it, in one of two slots (kept
// out of the recursion's frames). Names read from the disk may hold
// control characters, which must not reach either raw.
const char* shown(int slot, const char* path) {
    static char spelled[2][8 * PATH_CAPACITY + 1];
    const char* c = path;
    while (*c != '\0' && static_cast<unsigned char>(*c) >= 0x20 && *c != 0x7F) ++c;
    if (*c == '\0') return path;
    spell_control_characters(spelled[slot], sizeof spelled[slot], path);
    return spelled[slot];
}

// Whether a folder of the source can be the destination of the copy. The
// enumeration can meet the destination only where it lies in the source:
// by its path, or (another drive letter or spelling for the same folder)
// where the source is one of the destination's existing folders above it.
// Only then is each folder's identity asked, which costs two opens and two
// volume queries a folder; otherwise the paths decide it once.
bool destination_may_lie_in(const char* source, const char* destination) {
    if (path_is_within(destination, source)) return true;
    char above[PATH_CAPACITY];
    if (!copy_text(above, sizeof above, destination)) return true;
    char parent[PATH_CAPACITY];
    for (;;) {
        if (platform::same_file(above, source)) return true;
        if (!parent_folder(above, parent, sizeof parent)) return false;
        copy_text(above, sizeof above, parent);
    }
}

int count_files(platform::DirectoryScan* scan, platform::DirectoryEntry* entry) {
    int total = 0;
    do {
        if (!entry->is_directory) ++total;
    } while (platform::find_next_entry(scan, entry));
    return total;
}

void folder_not_made(const char* destination, unsigned long code) {
    write_format("Error: Could not create directory %s (Error Code: %lu)\n", shown(0, destination),
                 code);
    log_event("Error: Could not create directory %s", shown(0, destination));
    note_copy_failure(destination);
}

// Says what became of a link met where a folder or file of the copy goes
// (what): the link replaced, or removed and nothing made in its place. True
// when a link is still there (it was not followed): the entry is refused.
bool tell_link(const platform::Placement& placed, const char* path, const char* what) {
    if (placed.link == platform::LinkFound::none) return false;
    const char* kind = placed.link == platform::LinkFound::hard_link ? "hard link" : "link";
    if (!placed.link_removed) {
        report(OnConsole::after_line_break,
               "Error: Nothing copied to %s: a %s planted there could not be removed (Error "
               "Code: %lu); nothing is written through it.",
               shown(0, path), kind, placed.code);
        note_copy_failure(path);
        return true;
    }
    if (placed.code == 0)
        report(OnConsole::after_line_break, "Replaced a %s planted at %s by a real %s.", kind,
               shown(0, path), what);
    else
        report(OnConsole::after_line_break, "Removed a %s planted at %s.", kind, shown(0, path));
    return false;
}

// copy_root: the destination of the whole copy where a folder of the source
// may be it, else null. folder: the destination, held open.
int copy_level(const char* source, const char* destination, platform::HomeFolder* folder, long row,
               const char* copy_root);

// Copies one entry of a level into the open folder. Returns the number of
// errors.
int copy_entry(const char* source, const char* destination, platform::HomeFolder* folder, long row,
               const char* copy_root, const platform::DirectoryEntry& entry, int* copied,
               int total) {
    if (!entry.has_exact_name) {
        // The name only describes the entry: a path made from it would name
        // another file (or none), so it is neither read nor written.
        report(OnConsole::after_line_break,
               "Error: Not copied, its name cannot be spelled in this system's code page: %s\\%s",
               shown(0, source), shown(1, entry.name));
        char described[PATH_CAPACITY];
        if (!compose_text(described, sizeof described, "%s\\%s", destination, entry.name))
            note_copy_failure(destination);
        else
            note_copy_failure(described);
        return 1;
    }
    char source_path[PATH_CAPACITY];
    char destination_path[PATH_CAPACITY];
    if (!compose_text(source_path, sizeof source_path, "%s\\%s", source, entry.name) ||
        !compose_text(destination_path, sizeof destination_path, "%s\\%s", destination,
                      entry.name)) {
        // Name both paths whole: either may be the one over the limit.
        static char source_shown[8 * PATH_CAPACITY + 1];
        static char destination_shown[8 * PATH_CAPACITY + 1];
        compose_text(source_shown, sizeof source_shown, "%s\\%s", shown(0, source),
                     shown(1, entry.name));
        compose_text(destination_shown, sizeof destination_shown, "%s\\%s", shown(0, destination),
                     shown(1, entry.name));
        report(OnConsole::after_line_break, "Error: Path too long, not copied: %s -> %s",
               source_shown, destination_shown);
        note_copy_failure(destination);
        return 1;
    }
    if (entry.is_directory) {
        if (copy_root != nullptr && platform::same_file(source_path, copy_root)) {
            report(OnConsole::after_line_break,
                   "Skipped folder %s: it is the destination of this copy.", shown(0, source_path));
            return 0;
        }
        platform::HomeFolder* inner = nullptr;
        platform::Placement placed = platform::open_folder_in(folder, entry.name, &inner);
        if (tell_link(placed, destination_path, "folder")) return 1;
        if (placed.code != 0) {
            folder_not_made(destination_path, placed.code);
            return 1;
        }
        int errors = copy_level(source_path, destination_path, inner, row, copy_root);
        platform::close_home_folder(inner);
        return errors;
    }
    platform::Placement placed = platform::copy_file_into(source_path, folder, entry.name);
    if (tell_link(placed, destination_path, "file")) return 1;
    if (placed.code != 0) {
        report(OnConsole::after_line_break,
               placed.code == platform::ERROR_CODE_FILE_EXISTS
                   ? "Error copying file: %s -> %s: another file was put there while the old one "
                     "was replaced; it is left as it is."
                   : "Error copying file: %s -> %s",
               shown(0, source_path), shown(1, destination_path));
        note_copy_failure(destination_path);
        return 1;
    }
    note_file_copied(destination_path);
    ++*copied;
    // The total was counted before copying; never divide by a zero count.
    int percent = total > 0 ? *copied * 100 / total : 100;
    show_progress_bar(percent, row);
    log_event("Copied file: %s -> %s", shown(0, source_path), shown(1, destination_path));
    return 0;
}

int copy_level(const char* source, const char* destination, platform::HomeFolder* folder, long row,
               const char* copy_root) {
    char pattern[PATH_CAPACITY];
    if (!compose_text(pattern, sizeof pattern, "%s\\*", source)) {
        report(OnConsole::line, "Error: Could not open source directory %s", shown(0, source));
        note_copy_failure(destination);
        return 1;
    }
    platform::DirectoryEntry entry;
    platform::DirectoryScan* scan =
        platform::find_first_entry(pattern, &entry, platform::EntrySizes::not_needed);
    if (scan == nullptr) {
        report(OnConsole::line, "Error: Could not open source directory %s", shown(0, source));
        note_copy_failure(destination);
        return 1;
    }
    int total = count_files(scan, &entry);
    platform::find_close(scan);

    scan = platform::find_first_entry(pattern, &entry, platform::EntrySizes::not_needed);
    if (scan == nullptr) {
        report(OnConsole::line, "Error: Could not open source directory %s", shown(0, source));
        note_copy_failure(destination);
        return 1;
    }
    int errors = 0;
    int copied = 0;
    do {
        if (is_dot_entry(entry.name)) continue;
        errors += copy_entry(source, destination, folder, row, copy_root, entry, &copied, total);
    } while (platform::find_next_entry(scan, &entry));
    platform::find_close(scan);
    write_text("\n");
    return errors;
}

}  // namespace

int copy_directory(const char* source, const char* destination, long row) {
    const char* copy_root = destination_may_lie_in(source, destination) ? destination : nullptr;
    platform::HomeFolder* folder = nullptr;
    unsigned long code = platform::open_home_folder(destination, &folder);
    if (code != 0) {
        folder_not_made(destination, code);
        return 1;
    }
    int errors = copy_level(source, destination, folder, row, copy_root);
    platform::close_home_folder(folder);
    return errors;
}
