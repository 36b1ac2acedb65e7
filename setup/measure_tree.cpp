#include "setup/measure_tree.h"

#include <cstring>

#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/log_event.h"
#include "setup/setup_parameters.h"
#include "setup/walk_folders.h"
#include "setup/windows_path.h"

namespace {

unsigned long long rounded(unsigned long long bytes, unsigned long long unit) {
    return unit <= 1 ? bytes : (bytes + unit - 1) / unit * unit;
}

// The trees the walk measures: the root's, and the inner folder's once met.
struct Measure {
    std::size_t* longest[2];
    TreeSize* size[2];
    std::size_t skip[2];          // what of an entry's path lies above each tree's entries
    const char* inner = nullptr;  // until the walk meets it
    const TreeLevel* inner_level = nullptr;  // while the walk is in it: two trees measured
};

WalkOn measure_entry(const TreeVisit& seen, Measure* measure) {
    char folder[SPELLED_PATH_CAPACITY];  // names from the disk, spelled
    char name[SPELLED_PATH_CAPACITY];
    if (seen.step == TreeStep::unreadable || seen.step == TreeStep::too_long) {
        spell_control_characters(folder, sizeof folder, seen.level->path);
        spell_control_characters(name, sizeof name, seen.entry != nullptr ? seen.entry->name : "");
        if (seen.step == TreeStep::unreadable)
            report(OnConsole::line,
                   "Error: Could not read the folder %s, so the paths of the distribution cannot "
                   "be measured.",
                   folder);
        else
            report(OnConsole::line,
                   "Error: The path %s\\%s is longer than %u characters, so the paths of the "
                   "distribution cannot be measured.",
                   folder, name, static_cast<unsigned>(PATH_CAPACITY - 1));
        return WalkOn::stop;
    }
    if (seen.step == TreeStep::left && seen.level == measure->inner_level)
        measure->inner_level = nullptr;
    // A name the system cannot spell is never copied (the copy reports it),
    // so it does not count, and its folder cannot be opened.
    if (seen.at == nullptr) return WalkOn::go_on;
    const std::size_t length = std::strlen(seen.at->path);
    for (int i = 0; i < (measure->inner_level != nullptr ? 2 : 1); ++i) {
        if (length - measure->skip[i] > *measure->longest[i])
            *measure->longest[i] = length - measure->skip[i];
        if (seen.step == TreeStep::file) {
            TreeSize* size = measure->size[i];
            size->bytes += seen.entry->size;
            ++size->files;
            for (int unit = 0; unit < ROUNDED_UNITS; ++unit)
                size->rounded[unit] += rounded(seen.entry->size, 512ULL << unit);
        }
    }
    if (seen.step == TreeStep::folder && measure->inner != nullptr &&
        same_path(seen.at->path, measure->inner)) {
        measure->inner = nullptr;
        measure->inner_level = seen.at;
        measure->skip[1] = length + 1;  // the folder and its backslash
    }
    return WalkOn::go_on;
}

}  // namespace

unsigned long long room_on_volume(const TreeSize& size, unsigned long long allocation_unit) {
    if (allocation_unit <= 1) return size.bytes;
    for (int i = 0; i < ROUNDED_UNITS; ++i)
        if (allocation_unit <= (512ULL << i) && (512ULL << i) % allocation_unit == 0)
            return size.rounded[i];
    // An unusual unit: at most one unit less one byte more per file.
    return size.bytes + size.files * (allocation_unit - 1);
}

bool measure_tree(const char* folder, std::size_t* longest, TreeSize* size, const char* inner,
                  std::size_t* inner_longest, TreeSize* inner_size) {
    *longest = 0;
    *size = TreeSize();
    // An entry's path below the root: past the root and its backslash.
    Measure measure{{longest, inner_longest}, {size, inner_size}, {std::strlen(folder) + 1, 0}};
    if (inner != nullptr) {
        *inner_longest = 0;
        *inner_size = TreeSize();
        measure.inner = inner;
    }
    TreeLevel root{folder, nullptr};
    if (!walk_tree(&root, platform::EntrySizes::wanted, false,
                   [&](const TreeVisit& seen) { return measure_entry(seen, &measure); }))
        return false;
    return measure.inner == nullptr || measure_tree(inner, inner_longest, inner_size);
}

unsigned long long measure_replaced(const char* source, const char* home,
                                    unsigned long long allocation_unit) {
    unsigned long long bytes = 0;
    if (!platform::is_directory(home)) return 0;
    TreeLevel root{source, home};
    walk_tree(&root, platform::EntrySizes::not_needed, false, [&](const TreeVisit& seen) {
        unsigned long long size = 0;
        if (seen.step == TreeStep::file && platform::get_file_size(seen.at->mirror, &size))
            bytes += rounded(size, allocation_unit);
        // Only a folder already there holds files the copy replaces.
        if (seen.step == TreeStep::folder && !platform::is_directory(seen.at->mirror))
            return WalkOn::skip;
        return WalkOn::go_on;
    });
    return bytes;
}
