#include "deploy/show_progress_bar.h"

#include <cstring>

#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"

namespace {

constexpr int CELLS = 50;
constexpr unsigned short GREEN = 2;
constexpr unsigned short RED = 4;
constexpr unsigned short DEFAULT_GREY = 7;

// What the last draw put on the screen.
struct LastDraw {
    short row = -1;
    int percent = -1;
    bool bracket_in_default_grey = false;  // false for the very first draw
};

LastDraw last_draw;
bool drawn_before = false;

void write_cells(char cell, int count) {
    char cells[CELLS + 1];
    std::memset(cells, cell, static_cast<std::size_t>(count));
    cells[count] = '\0';
    write_text(cells);
}

}  // namespace

void show_progress_bar(int percent, short row) {
    if (row < 0) return;
    char tail[32];
    compose_text(tail, sizeof tail, "] %d%%", percent);

    if (last_draw.row == row && last_draw.percent == percent && last_draw.bracket_in_default_grey) {
        platform::set_cursor_position(row, static_cast<short>(1 + CELLS + std::strlen(tail)));
        return;
    }

    int green = percent / 2;
    if (green > CELLS) green = CELLS;
    if (green < 0) green = 0;
    platform::set_cursor_position(row, 0);
    write_text("[");
    if (green > 0) {
        platform::set_text_attribute(GREEN);
        write_cells('#', green);
    }
    if (green < CELLS) {
        platform::set_text_attribute(RED);
        write_cells('-', CELLS - green);
    }
    platform::set_text_attribute(DEFAULT_GREY);
    write_text(tail);

    last_draw.row = row;
    last_draw.percent = percent;
    last_draw.bracket_in_default_grey = drawn_before;
    drawn_before = true;
}
