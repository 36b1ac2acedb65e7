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

// A tree the walk measures: the root's, or a folder's on the way.
struct Target {
    std::size_t skip;  // what of a path below the walk's root lies above this tree's entries
    std::size_t* longest;
    TreeSize* size;
};

struct Walk {
    Target targets[2];
    int count = 0;
    const char* inner = nullptr;  // measured on its own too, once met
    bool inner_met = false;
};

// Measures one folder; relative is the length of its path below the root
// (0 for the root itself).
bool measure_level(const char* folder, std::size_t relative, Walk* walk) {
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
        for (int i = 0; i < walk->count; ++i) {
            const Target& target = walk->targets[i];
            std::size_t below = length - target.skip;
            if (below > *target.longest) *target.longest = below;
            if (!entry.is_directory) add_file_size(target.size, entry.size);
        }
        if (!entry.is_directory) continue;
        bool enters_inner =
            walk->inner != nullptr && !walk->inner_met && same_path(path, walk->inner);
        if (enters_inner) {
            walk->inner_met = true;
            walk->targets[1].skip = length + 1;  // the folder and its backslash
            walk->count = 2;
        }
        bool measured = measure_level(path, length, walk);
        if (enters_inner) walk->count = 1;
        if (!measured) {
            readable = false;
            break;
        }
    } while (platform::find_next_entry(scan, &entry));
    platform::find_close(scan);
    return readable;
}

}  // namespace

bool measure_tree(const char* folder, std::size_t* longest, TreeSize* size) {
    return measure_tree(folder, longest, size, nullptr, nullptr, nullptr);
}

bool measure_tree(const char* folder, std::size_t* longest, TreeSize* size, const char* inner,
                  std::size_t* inner_longest, TreeSize* inner_size) {
    *longest = 0;
    *size = TreeSize();
    Walk walk;
    walk.targets[0] = Target{0, longest, size};
    walk.count = 1;
    if (inner != nullptr) {
        *inner_longest = 0;
        *inner_size = TreeSize();
        walk.inner = inner;
        walk.targets[1] = Target{0, inner_longest, inner_size};
    }
    if (!measure_level(folder, 0, &walk)) return false;
    return inner == nullptr || walk.inner_met || measure_tree(inner, inner_longest, inner_size);
}
