#include "deploy/copy_directory.h"

#include "deploy/show_progress_bar.h"
#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "setup/log_event.h"
#include "setup/run_record.h"
#include "setup/setup_parameters.h"
#include "setup/walk_folders.h"
#include "setup/windows_path.h"

namespace {

// A path as the console and the log show it, in one of three slots (kept
// out of the recursion's frames). Names read from the disk may hold
// control characters, which must not reach either raw.
const char* shown(int slot, const char* path) {
    static char spelled[3][SPELLED_PATH_CAPACITY];
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
    bool within = false;
    const bool walked = walk_path(destination, [&](const char* folder, bool exists, PathPlace) {
        within = exists && platform::same_file(folder, source);
        return !within;
    });
    return within || !walked;  // a destination too long to walk may lie anywhere
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

// Opens (making it) the folder in the destination to enter it. Skips the
// destination itself (a destination inside the source) and a folder that
// could not be made.
WalkOn enter_folder(const TreeVisit& seen, const char* copy_root, int* errors) {
    if (copy_root != nullptr && platform::same_file(seen.at->path, copy_root)) {
        report(OnConsole::after_line_break,
               "Skipped folder %s: it is the destination of this copy.", shown(0, seen.at->path));
        return WalkOn::skip;
    }
    platform::Placement placed =
        platform::open_folder_in(seen.level->held, seen.entry->name, &seen.at->held);
    const bool link_kept = tell_link(placed, seen.at->mirror, "folder");
    if (!link_kept && placed.code == 0) return WalkOn::go_on;
    if (!link_kept) folder_not_made(seen.at->mirror, placed.code);
    ++*errors;
    return WalkOn::skip;
}

// Returns the number of errors.
int copy_file(const TreeVisit& seen, long row) {
    const char* source = seen.at->path;
    const char* destination = seen.at->mirror;
    platform::Placement placed =
        platform::copy_file_into(source, seen.level->held, seen.entry->name);
    if (tell_link(placed, destination, "file")) return 1;
    if (placed.code != 0) {
        report(OnConsole::after_line_break,
               placed.code == platform::ERROR_CODE_FILE_EXISTS
                   ? "Error copying file: %s -> %s: another file was put there while the old one "
                     "was replaced; it is left as it is."
                   : "Error copying file: %s -> %s",
               shown(0, source), shown(1, destination));
        note_copy_failure(destination);
        return 1;
    }
    note_file_copied(destination);
    TreeLevel* level = seen.level;
    ++level->done;
    // The total was counted before copying; never divide by a zero count.
    show_progress_bar(level->files > 0 ? level->done * 100 / level->files : 100, row);
    log_event("Copied file: %s -> %s", shown(0, source), shown(1, destination));
    return 0;
}

// An entry no path can be made for: its name cannot be spelled, or a path
// would be too long.
void refuse_entry(const TreeVisit& seen) {
    const TreeLevel* level = seen.level;
    const char* name = seen.entry->name;
    if (seen.step == TreeStep::too_long) {
        // Name both paths whole: either may be the one over the limit.
        report(OnConsole::after_line_break, "Error: Path too long, not copied: %s\\%s -> %s\\%s",
               shown(0, level->path), shown(1, name), shown(2, level->mirror), shown(1, name));
        note_copy_failure(level->mirror);
        return;
    }
    // The name only describes the entry: a path made from it would name
    // another file (or none), so it is neither read nor written.
    report(OnConsole::after_line_break,
           "Error: Not copied, its name cannot be spelled in this system's code page: %s\\%s",
           shown(0, level->path), shown(1, name));
    char described[PATH_CAPACITY];
    const bool fits = compose_text(described, sizeof described, "%s\\%s", level->mirror, name);
    note_copy_failure(fits ? described : level->mirror);
}

// Each folder of the destination is held open while its level is copied,
// and closed when the level ends.
WalkOn copy_entry(const TreeVisit& seen, long row, const char* copy_root, int* errors) {
    if (seen.step == TreeStep::folder) return enter_folder(seen, copy_root, errors);
    if (seen.step == TreeStep::file) {
        *errors += copy_file(seen, row);
    } else if (seen.step == TreeStep::left) {
        write_text("\n");
    } else if (seen.step == TreeStep::unreadable) {
        report(OnConsole::line, "Error: Could not open source directory %s",
               shown(0, seen.level->path));
        note_copy_failure(seen.level->mirror);
        ++*errors;
    } else {
        refuse_entry(seen);
        ++*errors;
    }
    if (seen.step == TreeStep::left || seen.step == TreeStep::unreadable)
        platform::close_home_folder(seen.level->held);
    return WalkOn::go_on;
}

}  // namespace

int copy_directory(const char* source, const char* destination, long row) {
    const char* copy_root = destination_may_lie_in(source, destination) ? destination : nullptr;
    TreeLevel root{source, destination};
    unsigned long code = platform::open_home_folder(destination, &root.held);
    if (code != 0) {
        folder_not_made(destination, code);
        return 1;
    }
    int errors = 0;
    walk_tree(&root, platform::EntrySizes::not_needed, true,
              [&](const TreeVisit& seen) { return copy_entry(seen, row, copy_root, &errors); });
    return errors;
}
