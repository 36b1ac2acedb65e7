#include "deploy/show_progress_bar.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "setup/bounded_text.h"

namespace {

constexpr int CELLS = 50;
constexpr unsigned short GREEN = 2;
constexpr unsigned short RED = 4;
constexpr unsigned short DEFAULT_GREY = 7;

// What the last draw put on the screen: its "[" is in default grey unless
// it was the very first draw.
long last_row = -1;
int last_percent = -1;
bool last_bracket_grey = false;
bool drawn_before = false;

}  // namespace

void show_progress_bar(int percent, long row) {
    if (row < 0) return;
    char tail[32];
    compose_text(tail, sizeof tail, "] %d%%", percent);

    if (last_row == row && last_percent == percent && last_bracket_grey) {
        platform::set_cursor_position(row, static_cast<long>(1 + CELLS + std::strlen(tail)));
        return;
    }

    const int green = std::clamp(percent / 2, 0, CELLS);

    // The whole row in one piece: "[" in the attribute in force, the cells,
    // the tail in grey; then grey stays in force for what follows.
    char text[1 + CELLS + sizeof tail];
    unsigned short attributes[sizeof text];
    std::size_t count = 0;
    text[count] = '[';
    attributes[count++] = platform::ATTRIBUTE_IN_FORCE;
    for (int i = 0; i < CELLS; ++i) {
        text[count] = i < green ? '#' : '-';
        attributes[count++] = i < green ? GREEN : RED;
    }
    for (const char* c = tail; *c != '\0'; ++c) {
        text[count] = *c;
        attributes[count++] = DEFAULT_GREY;
    }
    platform::write_cells(row, 0, text, attributes, count);
    platform::set_text_attribute(DEFAULT_GREY);

    last_row = row;
    last_percent = percent;
    last_bracket_grey = drawn_before;
    drawn_before = true;
}
