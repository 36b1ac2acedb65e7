#include "setup/measure_tree.h"

#include <cstring>

#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "setup/log_event.h"
#include "setup/setup_parameters.h"
#include "setup/walk_folders.h"
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

// A tree the walk measures: the root's, or a folder's on the way.
struct Target {
    std::size_t skip;  // what of a path below the walk's root lies above this tree's entries
    std::size_t* longest;
    TreeSize* size;
};

struct Measure {
    std::size_t root_length;  // of the walk's root folder
    Target targets[2];
    int count = 1;
    const char* inner = nullptr;  // measured on its own too, once met
    bool inner_met = false;
    const TreeLevel* inner_level = nullptr;  // while the walk is in it
};

WalkOn measure_entry(const TreeVisit& seen, Measure* measure) {
    char shown_folder[SHOWN_CAPACITY];
    char shown_name[SHOWN_CAPACITY];
    switch (seen.step) {
        case TreeStep::unreadable:
            spell_control_characters(shown_folder, sizeof shown_folder, seen.level->folder);
            report(
                OnConsole::line,
                "Error: Could not read the folder %s, so the paths of the distribution cannot be "
                "measured.",
                shown_folder);
            return WalkOn::stop;
        case TreeStep::too_long:
            spell_control_characters(shown_folder, sizeof shown_folder, seen.level->folder);
            spell_control_characters(shown_name, sizeof shown_name, seen.entry->name);
            report(OnConsole::line,
                   "Error: The path %s\\%s is longer than %u characters, so the paths of the "
                   "distribution cannot be measured.",
                   shown_folder, shown_name, static_cast<unsigned>(PATH_CAPACITY - 1));
            return WalkOn::stop;
        case TreeStep::left:
            if (seen.level == measure->inner_level) {
                measure->inner_level = nullptr;
                measure->count = 1;
            }
            return WalkOn::go_on;
        case TreeStep::not_exact:
            // A name the system cannot spell is never copied (the copy reports
            // it), so it does not count, and its folder cannot be opened.
            return WalkOn::go_on;
        case TreeStep::file:
        case TreeStep::folder: break;
    }
    const std::size_t length = std::strlen(seen.path) - measure->root_length - 1;
    for (int i = 0; i < measure->count; ++i) {
        const Target& target = measure->targets[i];
        std::size_t below = length - target.skip;
        if (below > *target.longest) *target.longest = below;
        if (seen.step == TreeStep::file) add_file_size(target.size, seen.entry->size);
    }
    if (seen.step == TreeStep::folder && !measure->inner_met && measure->inner != nullptr &&
        same_path(seen.path, measure->inner)) {
        measure->inner_met = true;
        measure->inner_level = seen.inner;
        measure->targets[1].skip = length + 1;  // the folder and its backslash
        measure->count = 2;
    }
    return WalkOn::go_on;
}

unsigned long long rounded(unsigned long long bytes, unsigned long long unit) {
    return unit <= 1 ? bytes : (bytes + unit - 1) / unit * unit;
}

}  // namespace

bool measure_tree(const char* folder, std::size_t* longest, TreeSize* size) {
    return measure_tree(folder, longest, size, nullptr, nullptr, nullptr);
}

bool measure_tree(const char* folder, std::size_t* longest, TreeSize* size, const char* inner,
                  std::size_t* inner_longest, TreeSize* inner_size) {
    *longest = 0;
    *size = TreeSize();
    Measure measure;
    measure.root_length = std::strlen(folder);
    measure.targets[0] = Target{0, longest, size};
    if (inner != nullptr) {
        *inner_longest = 0;
        *inner_size = TreeSize();
        measure.inner = inner;
        measure.targets[1] = Target{0, inner_longest, inner_size};
    }
    TreeLevel root{folder, nullptr};
    if (!walk_tree(&root, platform::EntrySizes::wanted, false,
                   [&](const TreeVisit& seen) { return measure_entry(seen, &measure); }))
        return false;
    return inner == nullptr || measure.inner_met || measure_tree(inner, inner_longest, inner_size);
}

unsigned long long measure_replaced(const char* source, const char* home,
                                    unsigned long long allocation_unit) {
    unsigned long long bytes = 0;
    if (!platform::is_directory(home)) return 0;
    TreeLevel root{source, home};
    walk_tree(&root, platform::EntrySizes::not_needed, false, [&](const TreeVisit& seen) {
        unsigned long long size = 0;
        if (seen.step == TreeStep::file && platform::get_file_size(seen.mirror, &size))
            bytes += rounded(size, allocation_unit);
        // Only a folder already there holds files the copy replaces.
        if (seen.step == TreeStep::folder && !platform::is_directory(seen.mirror))
            return WalkOn::skip;
        return WalkOn::go_on;
    });
    return bytes;
}
