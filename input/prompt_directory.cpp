#include "input/prompt_directory.h"

#include <cstring>

#include "input/answer_checks.h"
#include "input/prompt_string.h"
#include "input/read_answer.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "setup/derive_paths.h"
#include "setup/setup_parameters.h"

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

// Checks the answer as typed, writing a message for each rule it breaks.
// On success the answer is trimmed and the root composed into the result.
bool accept_directory(char* answer, char* result, std::size_t result_capacity, const char* service,
                      const char* owner, const DirectoryRules& rules) {
    bool failed = false;
    use_backslashes(answer);
    if (answer[0] != '\0' && !is_full_path(answer)) {
        write_text(
            "\nERROR: A full path is needed, with its drive (C:\\apps) or network share "
            "(\\\\server\\share\\apps). Please enter a valid path: ");
        failed = true;
    } else if (!directory_exists(answer)) {
        write_text("\nERROR: Directory does not exist, please enter a valid path: ");
        failed = true;
    }
    if (rules.reject_special && !path_valid(answer)) {
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

    char trimmed[260];
    copy_text(trimmed, sizeof trimmed, answer);
    trim_whitespace(trimmed);
    char root[260];
    if (!make_app_path(trimmed, root, sizeof root, service, owner) ||
        (rules.root_fits != nullptr && !rules.root_fits(root))) {
        write_text(
            "\nERROR: The directory path is too long for the installation paths built from it. "
            "Please enter a shorter path: ");
        return false;
    }
    if (!tree_fits(root, rules)) return false;
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
        for (;;) {
            LineRead read = read_answer_line(answer, answer_capacity);
            if (read == LineRead::end_of_input) return false;
            if (read == LineRead::not_text) {
                refuse_not_text();
                return false;
            }
            if (read == LineRead::answer) break;
            write_format(
                "\nERROR: The directory path is too long: at most %u characters are allowed. "
                "Please enter a valid path: ",
                static_cast<unsigned>(answer_capacity - 1));
        }
    }
    return true;
}
