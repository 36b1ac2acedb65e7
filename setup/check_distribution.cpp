#include "setup/check_distribution.h"

#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/database_command.h"
#include "setup/log_event.h"
#include "setup/measure_tree.h"

namespace {

const char* const DISTRIBUTION_FOLDERS[] = {"config", "install", "com", "data"};

constexpr std::size_t LIST_CAPACITY = 256;

// Lists the folders, or else the files the later stages run (the install
// scripts, the shortcut's batch file), that the setup folder lacks.
void find_missing(const char* source_dir, char* missing, const char** kind) {
    auto note_if_missing = [&](const char* name, bool folder) {
        char path[PATH_CAPACITY];
        unsigned long long size = 0;
        if (!compose_text(path, sizeof path, "%s\\%s", source_dir, name) ||
            !(folder ? platform::is_directory(path) : platform::get_file_size(path, &size)))
            add_to_list(missing, LIST_CAPACITY, name);
    };
    *kind = "folders";
    for (const char* name : DISTRIBUTION_FOLDERS) note_if_missing(name, true);
    if (missing[0] != '\0') return;
    *kind = "files";
    for (const char* script : INSTALL_SCRIPTS) note_if_missing(script, false);
    note_if_missing(SHORTCUT_TARGET, false);
}

// Started from inside a zip in Explorer, the program runs alone from a
// temporary folder: nothing would be copied that the later stages need. A
// script missing from it would leave SQL*Plus an older install's to run.
bool is_whole(const char* source_dir) {
    char missing[LIST_CAPACITY] = "";
    const char* kind = "";
    find_missing(source_dir, missing, &kind);
    if (missing[0] == '\0') return true;
    char shown[SPELLED_PATH_CAPACITY];
    spell_control_characters(shown, sizeof shown, source_dir);
    report(OnConsole::line,
           "Error: The distribution is not complete: the setup folder %s lacks these %s: %s.",
           shown, kind, missing);
    report(OnConsole::line,
           "Extract the whole zip file first, then start setup.exe from the extracted folder.");
    return false;
}

}  // namespace

bool check_distribution(const SetupParameters& p, DistributionSize* size) {
    // The data folder lies in the setup folder: measured on the same walk.
    return is_whole(p.SOURCE_DIR) &&
           measure_tree(p.SOURCE_DIR, &size->longest_path, &size->tree, p.SOURCE_DATA_DIR,
                        &size->longest_data_path, &size->data);
}
