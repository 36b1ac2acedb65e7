#include "input/prompt_directory.h"

#include <cstring>

#include "input/answer_checks.h"
#include "input/prompt_string.h"
#include "input/read_answer.h"
#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "setup/derive_paths.h"
#include "setup/measure_tree.h"
#include "setup/setup_parameters.h"
#include "setup/windows_path.h"

namespace {

// The tree's files must be nameable below the home: home + "\" + the
// longest path fits the limit. Writes the refusal when it does not.
bool tree_fits(const char* root, const DirectoryRules& rules) {
    if (rules.longest_below_home == 0) return true;
    const std::size_t limit = PATH_CAPACITY - 1;
    const std::size_t home = std::strlen(root) + std::strlen(rules.home_suffix);
    const std::size_t needed = rules.longest_below_home + 1;
    if (home + needed <= limit) return true;
    write_format(
        "\nERROR: The directory path is too long for the files of the distribution: %s would be "
        "%u characters long, and may be at most %u. Please enter a shorter path: ",
        rules.home_name, static_cast<unsigned>(home),
        static_cast<unsigned>(needed < limit ? limit - needed : 0));
    return false;
}

// A size in tenths of a megabyte (MB: 1,048,576 bytes), rounded up or down.
unsigned long long tenths_of_mb(unsigned long long bytes, bool round_up) {
    const unsigned long long mb = 1048576;
    unsigned long long rest = (bytes % mb) * 10;
    return bytes / mb * 10 + rest / mb + (round_up && rest % mb != 0 ? 1 : 0);
}

// What copying the tree into home adds to its volume: replaced files of an
// earlier install give back their room.
unsigned long long room_needed(const char* source, const TreeSize& size, const char* home,
                               unsigned long long unit) {
    unsigned long long needed = room_on_volume(size, unit);
    unsigned long long replaced = measure_replaced(source, home, unit);
    return replaced < needed ? needed - replaced : 0;
}

// The free space of the volume the home will be made on, asked of its
// nearest existing folder.
bool volume_space(const char* home, platform::FreeSpace* space) {
    char existing[PATH_CAPACITY];
    return nearest_existing_folder(home, existing, sizeof existing) != nullptr &&
           platform::get_free_space(existing, space);
}

// True when the earlier home's copy lands on the volume of this home too.
bool earlier_copy_counts(const char* home, const platform::FreeSpace& space,
                         const DirectoryRules& rules) {
    if (rules.earlier_home == nullptr) return false;
    char earlier_data[PATH_CAPACITY];
    if (compose_text(earlier_data, sizeof earlier_data, "%s\\data", rules.earlier_home) &&
        same_path(home, earlier_data))
        return false;
    if (path_lies_below(home, rules.earlier_home)) return true;
    platform::FreeSpace earlier;
    if (space.volume != 0 && volume_space(rules.earlier_home, &earlier) && earlier.volume != 0)
        return earlier.volume == space.volume;
    return same_root(home, rules.earlier_home);
}

// The home's volume must hold what the copies put on it, when its free
// space can be learned. Writes the refusal when it cannot.
bool drive_has_room(const char* home, const DirectoryRules& rules) {
    if (rules.source == nullptr) return true;
    platform::FreeSpace space;
    if (!volume_space(home, &space)) return true;
    const unsigned long long unit = space.allocation_unit;
    const bool both = earlier_copy_counts(home, space, rules);
    const unsigned long long whole = room_on_volume(*rules.size, unit);
    const unsigned long long earlier_whole = both ? room_on_volume(*rules.earlier_size, unit) : 0;
    if (space.free_bytes >= whole && space.free_bytes - whole >= earlier_whole) return true;
    unsigned long long needed = room_needed(rules.source, *rules.size, home, unit);
    if (both)
        needed += room_needed(rules.earlier_source, *rules.earlier_size, rules.earlier_home, unit);
    if (space.free_bytes >= needed) return true;
    // Needed rounds up and free down, so the figures never look enough.
    const unsigned long long need = tenths_of_mb(needed, true);
    const unsigned long long have = tenths_of_mb(space.free_bytes, false);
    write_format(
        "\nERROR: Not enough free space on the drive of %s: the copy needs %lu.%u MB, %lu.%u MB "
        "are free. Please enter a valid path: ",
        rules.home_name, static_cast<unsigned long>(need / 10), static_cast<unsigned>(need % 10),
        static_cast<unsigned long>(have / 10), static_cast<unsigned>(have % 10));
    return false;
}

// A home that is the earlier one, or holds it, under whatever name, would
// give the earlier home its list: every user may change DATA_HOME's files.
bool apart_from_earlier_home(const char* home, const DirectoryRules& rules) {
    if (rules.earlier_home == nullptr || !home_is_within(rules.earlier_home, home)) return true;
    write_format(
        "\nERROR: %s would be %s, which is APP_HOME or holds it, and every user may change the "
        "files of %s. Please enter a valid path: ",
        rules.home_name, home, rules.home_name);
    return false;
}

// No existing folder of the home's path may let others change, rename or
// replace what is installed there. Writes the refusal when one does.
bool folders_keep_their_keys(const char* home, const DirectoryRules& rules) {
    char text[UNSAFE_FOLDER_TEXT_CAPACITY];
    if (home_folders_safe(home, rules.kind, text, sizeof text)) return true;
    write_format("\nERROR: %s Please enter a valid path: ", text);
    return false;
}

// Checks the resolved answer, writing a message for each rule it breaks.
// On success the answer is trimmed and the root composed into the result.
bool accept_directory(char* answer, char* result, std::size_t result_capacity, const char* service,
                      const char* owner, const DirectoryRules& rules) {
    bool failed = false;
    const bool full = resolve_full_path(answer);
    if (answer[0] != '\0' && !full) {
        write_text(
            "\nERROR: A full path is needed, with its drive (C:\\apps) or network share "
            "(\\\\server\\share\\apps). Please enter a valid path: ");
        failed = true;
    } else if (!directory_exists(answer)) {
        write_text("\nERROR: Directory does not exist, please enter a valid path: ");
        failed = true;
    }
    if (rules.reject_special && contains_any_of(answer, " &")) {
        write_text(
            "\nERROR: The directory path must not contain spaces or &. Please enter a valid "
            "path: ");
        failed = true;
    }
    if (rules.refused_characters != nullptr && contains_any_of(answer, rules.refused_characters)) {
        write_text("\nERROR: The directory path must not contain any of these characters: ");
        write_refused_characters(rules.refused_characters);
        write_text(". Please enter a valid path: ");
        failed = true;
    }
    if (failed) return false;

    char trimmed[PATH_CAPACITY];
    copy_text(trimmed, sizeof trimmed, answer);
    trim_whitespace(trimmed);
    char root[PATH_CAPACITY];
    char home[PATH_CAPACITY];
    if (!make_app_path(trimmed, root, sizeof root, service, owner) ||
        (rules.root_fits != nullptr && !rules.root_fits(root)) ||
        !compose_text(home, sizeof home, "%s%s", root, rules.home_suffix)) {
        write_text(
            "\nERROR: The directory path is too long for the installation paths built from it. "
            "Please enter a shorter path: ");
        return false;
    }
    if (!tree_fits(root, rules) || !apart_from_earlier_home(home, rules) ||
        !drive_has_room(home, rules) || !folders_keep_their_keys(home, rules))
        return false;
    trim_whitespace(answer);
    copy_text(result, result_capacity, root);
    return true;
}

}  // namespace

bool prompt_directory(const char* message, char* answer, std::size_t answer_capacity,
                      const char* default_value, char* result, std::size_t result_capacity,
                      const char* service, const char* owner, const DirectoryRules& rules) {
    if (!prompt_string(message, answer, answer_capacity, default_value, nullptr)) return false;
    while (!accept_directory(answer, result, result_capacity, service, owner, rules)) {
        LineRead read;
        while ((read = read_answer_line(answer, answer_capacity)) == LineRead::too_long)
            write_format(
                "\nERROR: The directory path is too long: at most %u characters are allowed. "
                "Please enter a valid path: ",
                static_cast<unsigned>(answer_capacity - 1));
        if (read == LineRead::not_text) refuse_not_text();
        if (read != LineRead::answer) return false;
    }
    return true;
}
