#include "setup/check_distribution.h"

#include "deploy/measure_tree.h"
#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "setup/log_event.h"

namespace {

const char* const DISTRIBUTION_FOLDERS[] = {"config", "install", "com", "data"};

// Started from inside a zip in Explorer, the program runs alone from a
// temporary folder: nothing would be copied that the later stages need.
bool is_whole(const char* source_dir) {
    char missing[64] = "";
    for (const char* name : DISTRIBUTION_FOLDERS) {
        char path[PATH_CAPACITY];
        if (compose_text(path, sizeof path, "%s\\%s", source_dir, name) &&
            platform::stat_is_directory(path)) {
            continue;
        }
        char before[sizeof missing];
        copy_text(before, sizeof before, missing);
        compose_text(missing, sizeof missing, "%s%s%s", before, before[0] != '\0' ? ", " : "",
                     name);
    }
    if (missing[0] == '\0') return true;
    char shown[SPELLED_PATH_CAPACITY];
    spell_control_characters(shown, sizeof shown, source_dir);
    write_format(
        "Error: The distribution is not complete: the setup folder %s lacks these "
        "folders: %s.\n",
        shown, missing);
    print_line("Extract the whole zip file first, then start setup.exe from the extracted folder.");
    log_event(
        "Error: The distribution is not complete: the setup folder %s lacks these folders: %s.",
        shown, missing);
    log_event("Extract the whole zip file first, then start setup.exe from the extracted folder.");
    return false;
}

}  // namespace

bool check_distribution(const SetupParameters& p, DistributionSize* size) {
    return is_whole(p.SOURCE_DIR) &&
           measure_tree(p.SOURCE_DIR, &size->longest_path, &size->bytes) &&
           measure_tree(p.SOURCE_DATA_DIR, &size->longest_data_path, &size->data_bytes);
}
