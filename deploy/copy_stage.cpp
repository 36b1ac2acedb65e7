#include "deploy/copy_stage.h"

#include "deploy/copy_directory.h"
#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "setup/home_folders.h"
#include "setup/log_event.h"
#include "setup/run_record.h"
#include "setup/walk_folders.h"
#include "setup/windows_path.h"

namespace {

// Stores the first folder of the path (the path itself included) that does
// not exist now; empty when all do or it will not fit. The root of a drive
// or a share never counts.
void first_missing_folder(const char* path, char* field) {
    field[0] = '\0';
    walk_path(path, [&](const char* folder, bool exists, PathPlace place) {
        if (!exists && place != PathPlace::root) copy_text(field, PATH_CAPACITY, folder);
        return true;
    });
}

// The home's existing folders, checked again now that the copy starts:
// one may have been made or changed since the directory was accepted.
bool still_safe(const char* home, HomeKind kind) {
    char text[UNSAFE_FOLDER_TEXT_CAPACITY];
    if (home_folders_safe(home, kind, text, sizeof text)) return true;
    report(OnConsole::with_empty_line, "Error: Nothing is copied: %s", text);
    return false;
}

// Nothing was copied into either home: the later stages must not take what
// is there (someone else's scripts, perhaps) for this run's. Returns false,
// for the failed stage.
bool nothing_copied(const SetupParameters& p) {
    note_copy_failure(p.APP_HOME);
    note_copy_failure(p.DATA_HOME);
    return false;
}

// Creates a folder that did not exist before the run with its protected
// list, so that it never exists without it; false when its list was not
// set. Not created: the copy reports it. Given taken, a folder someone else
// made first (it exists already) is refused: *taken says so, and nothing may
// be copied into it. Without taken, a folder made meanwhile (inside the new
// APP_HOME, which nobody else may change) is protected now.
bool create_and_protect(const char* folder, bool writable_for_users, bool* told_no_lists,
                        bool* taken) {
    if (folder[0] == '\0') return true;
    unsigned long code = platform::is_directory(folder)
                             ? platform::ERROR_CODE_ALREADY_EXISTS
                             : platform::create_protected_folder(folder, writable_for_users);
    if (code == platform::ERROR_CODE_ALREADY_EXISTS && taken != nullptr) {
        report(OnConsole::with_empty_line,
               "Error: %s was made by someone else after the directory was checked; nothing "
               "is copied into it.",
               folder);
        *taken = true;
        return false;
    }
    if (code == platform::ERROR_CODE_ALREADY_EXISTS) {
        if (!platform::is_directory(folder)) return true;  // a file of its name
        code = platform::protect_folder(folder, writable_for_users);
    }
    if (code == 0) return true;
    // The list could not be made: the folder is made without it, or not at all.
    if (code != platform::ERROR_CODE_NOT_SUPPORTED) platform::create_directories(folder);
    if (!platform::is_directory(folder)) return true;
    if (code == platform::ERROR_CODE_NOT_SUPPORTED) {
        if (!*told_no_lists) {
            write_format(
                "Note: %s is on a file system without access control lists; every user "
                "of the machine can change the installed files.\n\n",
                folder);
            log_event("Note: %s is on a file system without access control lists.", folder);
        }
        *told_no_lists = true;
        return true;
    }
    report(OnConsole::with_empty_line,
           "Error: Could not set the access control list of %s (Error Code: %lu)", folder, code);
    return false;
}

// The bar goes two rows below the cursor; no row when output is no console.
// The two rows are made by line breaks rather than counted, so that near the
// bottom of the console's buffer it scrolls and the row exists: a bar row
// beyond the buffer would put every draw after the previous one.
long bar_row() {
    long row;
    if (!platform::get_cursor_row(&row)) return -1;
    write_text("\n\n");
    return platform::get_cursor_row(&row) ? row : -1;
}

bool copy_home(const char* label, const char* source, const char* destination) {
    char shown_source[SPELLED_PATH_CAPACITY];  // a name from the disk
    spell_control_characters(shown_source, sizeof shown_source, source);
    write_format("Creating %s. Copying files from %s to %s...\n", label, shown_source, destination);
    int errors = copy_directory(source, destination, bar_row());
    if (errors == 0) {
        report(OnConsole::with_empty_line, "%s created.", label);
        return true;
    }
    write_format("Error: %s was not completely created: %d errors. %s\n\n", label, errors,
                 where_to_find_details());
    log_event("Error: %s was not completely created: %d errors.", label, errors);
    return false;
}

}  // namespace

// The first folder of each home's path that this run creates gets, as soon
// as it exists, a list that only the installer and administrators may
// change; a new DATA_HOME stays writable for every user (the database
// service among them). A folder that existed before the run keeps its list.
bool run_copy_stage(const SetupParameters& p) {
    char new_app[PATH_CAPACITY];
    char new_data[PATH_CAPACITY];
    first_missing_folder(p.APP_HOME, new_app);
    first_missing_folder(p.DATA_HOME, new_data);
    // Folders are compared by what they are, not by their names: D:\x may
    // be C:\x, and a folder this run makes under one name is found under
    // the other, made by this run and not by someone else.
    // Only a DATA_HOME apart from APP_HOME's own folders may be writable
    // for users: never APP_HOME, nor a folder that holds it.
    bool data_is_new = new_data[0] != '\0' && !home_is_within(p.APP_HOME, p.DATA_HOME);
    // A DATA_HOME outside APP_HOME that is its path's first new folder must
    // be made by this run.
    bool data_made_first =
        same_path(new_data, p.DATA_HOME) && !home_is_within(p.DATA_HOME, p.APP_HOME);
    // Below the new APP_HOME tree, or the data folder itself: listed below.
    if ((new_app[0] != '\0' && home_is_within(new_data, new_app)) ||
        same_path(new_data, p.DATA_HOME))
        new_data[0] = '\0';

    // After the first new folders are known: one made from now on is
    // found by its creation below.
    if (!still_safe(p.APP_HOME, HomeKind::app) || !still_safe(p.DATA_HOME, HomeKind::data))
        return nothing_copied(p);

    // Every folder with a list of its own is made before anything is
    // copied: a run stopped during the copy leaves them as they must be,
    // and the next run, which finds them, keeps them so.
    bool told_no_lists = false;
    bool taken = false;
    bool listed = create_and_protect(new_app, false, &told_no_lists, &taken);
    if (taken) return nothing_copied(p);
    // Inside APP_HOME, which nobody else may change, nobody else makes it.
    listed = create_and_protect(new_data, false, &told_no_lists,
                                home_is_within(new_data, p.APP_HOME) ? nullptr : &taken) &&
             listed;
    if (data_is_new)
        listed = create_and_protect(p.DATA_HOME, true, &told_no_lists,
                                    data_made_first ? &taken : nullptr) &&
                 listed;
    if (taken) return nothing_copied(p);
    bool app_home = copy_home("APP_HOME", p.SOURCE_DIR, p.APP_HOME);
    bool data_home = copy_home("DATA_HOME", p.SOURCE_DATA_DIR, p.DATA_HOME);
    return listed && app_home && data_home;
}
