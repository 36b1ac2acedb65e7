#include "deploy/show_progress_bar.h"

#include <cstring>

#include "platform/platform.h"
#include "setup/bounded_text.h"

namespace {

constexpr int CELLS = 50;
constexpr unsigned short GREEN = 2;
constexpr unsigned short RED = 4;
constexpr unsigned short DEFAULT_GREY = 7;

// What the last draw put on the screen.
struct LastDraw {
    long row = -1;
    int percent = -1;
    bool bracket_in_default_grey = false;  // false for the very first draw
};

LastDraw last_draw;
bool drawn_before = false;

}  // namespace

void show_progress_bar(int percent, long row) {
    if (row < 0) return;
    char tail[32];
    compose_text(tail, sizeof tail, "] %d%%", percent);

    if (last_draw.row == row && last_draw.percent == percent && last_draw.bracket_in_default_grey) {
        platform::set_cursor_position(row, static_cast<long>(1 + CELLS + std::strlen(tail)));
        return;
    }

    int green = percent / 2;
    if (green > CELLS) green = CELLS;
    if (green < 0) green = 0;

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

    last_draw.row = row;
    last_draw.percent = percent;
    last_draw.bracket_in_default_grey = drawn_before;
    drawn_before = true;
}
