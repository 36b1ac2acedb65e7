// The progress bar's console operations of platform.h, the same on every
// backend: each acts on the backend's console model.
#include "platform/console_model.h"
#include "platform/platform.h"

namespace platform {

bool get_cursor_row(long* row) {
    return the_console().hand_out_row(row);
}

void set_cursor_position(long row, long column) {
    the_console().move_to(row, column);
}

void set_text_attribute(unsigned short attribute) {
    the_console().set_attribute(attribute);
}

void write_cells(long row, long column, const char* text, const unsigned short* attributes,
                 std::size_t count) {
    the_console().write_cells(row, column, text, attributes, count);
}

}  // namespace platform
