#include "platform/console_model.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace platform {
namespace {

// The model whose waiting output reaches the console at exit.
ConsoleModel* model_at_exit = nullptr;

}  // namespace

ConsoleModel::~ConsoleModel() {
    if (model_at_exit == this) model_at_exit = nullptr;
}

bool ConsoleModel::is_before(const Place& a, const Place& b) {
    return a.line < b.line || (a.line == b.line && a.column < b.column);
}

void ConsoleModel::hold_until_exit() {
    static bool registered = std::atexit([] {
                                 if (model_at_exit != nullptr) model_at_exit->catch_up();
                             }) == 0;
    (void)registered;
    model_at_exit = this;
}

// Asks the console what it tells; where it tells its cursor, the cursor's
// line is its buffer row plus the rows scrolled, otherwise it stays counted.
bool ConsoleModel::look() {
    ConsoleReading reading;
    if (!device_.read(&reading)) {
        is_console_ = false;
        cursor_known_ = false;
        return false;
    }
    if (reading.width < 1) reading.width = 1;
    if (reading.height < 1) reading.height = 1;
    reading_ = reading;
    is_console_ = true;
    if (!attribute_known_) {
        attribute_ = reading.attribute;
        attribute_known_ = true;
    }
    if (reading.cursor_known) {
        cursor_.line = reading.cursor_row + scrolled_;
        cursor_.column = reading.cursor_column;
    }
    cursor_known_ = true;
    if (cursor_.line > lowest_) lowest_ = cursor_.line;
    return true;
}

// True when the cursor's place is known: a console that tells its cursor is
// asked only once it may have moved unseen; a terminal's size is asked
// every time, so a resized terminal is followed.
bool ConsoleModel::cursor_in_step() {
    if (cursor_known_ && reading_.cursor_known) return true;
    return look();
}

// The line shown on the buffer's first row. On a terminal that cannot be
// asked, the lowest line reached is taken for its last row: a line above
// that by the screen's height or more has left it, wherever the program
// started on the screen.
long long ConsoleModel::top() const {
    return reading_.cursor_known ? scrolled_ : lowest_ - reading_.height + 1;
}

bool ConsoleModel::reachable(long long line) const {
    return line >= top();
}

// Where the console leaves the cursor after the text: line breaks, and
// wraps when a row is full.
ConsoleModel::Place ConsoleModel::after_text(Place at, const char* text, std::size_t length) const {
    const long width = reading_.width;
    const bool delayed = reading_.wrap_delayed;
    auto put_cell = [&] {
        if (delayed) {
            if (at.column >= width) {
                ++at.line;
                at.column = 0;
            }
            ++at.column;
        } else if (++at.column >= width) {
            ++at.line;
            at.column = 0;
        }
    };
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (reading_.utf8 && (c & 0xC0) == 0x80) continue;  // a sequence goes on: no cell
        if (c == '\n') {
            ++at.line;
            at.column = 0;
        } else if (c == '\r') {
            at.column = 0;
        } else if (c == '\b') {
            if (at.column > 0) --at.column;
        } else if (c == '\t' && delayed) {
            at.column = (at.column + 8) & ~7L;
            if (at.column > width) at.column = width;
        } else if (c == '\t') {
            do put_cell();
            while (at.column % 8 != 0);
        } else if (c == '\a' || (c < 0x20 && delayed)) {
            // no cell
        } else {
            put_cell();
        }
    }
    return at;
}

// Where writing count cells from the start of the line leaves the cursor.
ConsoleModel::Place ConsoleModel::after_cells(long long line, std::size_t count) const {
    Place at{line, 0};
    const long width = reading_.width;
    const long cells = static_cast<long>(count);
    if (reading_.wrap_delayed) {
        long rows_on = cells > 0 ? (cells - 1) / width : 0;
        at.line += rows_on;
        at.column = cells - rows_on * width;
    } else {
        at.line += cells / width;
        at.column = cells % width;
    }
    return at;
}

// Writes and follows the cursor. On a console that tells its cursor, it is
// read back: the content has scrolled when the text advanced more rows than
// the cursor did, which happens only with the cursor on the last row.
void ConsoleModel::write_counted(const char* text, std::size_t length) {
    Place counted = after_text(cursor_, text, length);
    long long start_row = cursor_.line - scrolled_;
    device_.write(text, length);
    cursor_at_bar_ = false;
    if (!reading_.cursor_known) {
        cursor_ = counted;
        if (cursor_.line > lowest_) lowest_ = cursor_.line;
        return;
    }
    if (!look()) return;
    if (reading_.cursor_row == reading_.height - 1) {
        long long advanced = counted.line - (start_row + scrolled_);
        long long moved = reading_.cursor_row - start_row;
        if (advanced > moved) {
            scrolled_ += advanced - moved;
            cursor_.line = reading_.cursor_row + scrolled_;
            if (cursor_.line > lowest_) lowest_ = cursor_.line;
        }
    }
}

void ConsoleModel::note_text_end(const char* text, std::size_t length) {
    std::size_t trailing = 0;
    while (trailing < length && text[length - 1 - trailing] == '\n') ++trailing;
    if (trailing == length) return;  // line breaks alone
    text_written_ = true;
    text_end_ = cursor_;
    if (trailing > 0) {
        text_end_.line -= static_cast<long long>(trailing);
        text_end_.column = WHOLE_ROW;
    }
}

bool ConsoleModel::go_to(Place place) {
    if (cursor_known_ && cursor_.line == place.line && cursor_.column == place.column) return true;
    long long first = top();
    if (!device_.move(static_cast<long>(cursor_.line - first),
                      static_cast<long>(place.line - first), place.column))
        return false;
    cursor_ = place;
    if (cursor_.line > lowest_) lowest_ = cursor_.line;
    return true;
}

// Where nothing may be written over: the text written so far and the bar's
// line (all of it until the bar is drawn).
bool ConsoleModel::protected_end(Place* end) const {
    bool any = false;
    if (text_written_) {
        *end = text_end_;
        any = true;
    }
    if (bar_.active) {
        const Place bar_end = bar_.drawn ? bar_.end : Place{bar_.line, WHOLE_ROW};
        if (!any || is_before(*end, bar_end)) *end = bar_end;
        any = true;
    }
    return any;
}

// The line a handed-out row stands for: the bar's, wherever it has moved.
long long ConsoleModel::line_of(long row) const {
    return bar_.active && row == bar_.handle ? bar_.line : row;
}

// Starts a new line below everything written and returns it. A line below
// the buffer is made by a line break on the one above.
long long ConsoleModel::fresh_line_below_output() {
    Place end;
    Place start;
    start.line = cursor_.column > 0 ? cursor_.line + 1 : cursor_.line;
    if (protected_end(&end)) start.line = end.line + 1;
    if (!reachable(start.line)) start.line = lowest_ + 1;
    if (!go_to(start) && go_to(Place{start.line - 1, 0})) write_counted("\n", 1);
    return cursor_.line;
}

void ConsoleModel::write_waiting_breaks() {
    char breaks[64];
    std::memset(breaks, '\n', sizeof breaks);
    while (waiting_breaks_ > 0) {
        std::size_t count = waiting_breaks_ < sizeof breaks ? waiting_breaks_ : sizeof breaks;
        waiting_breaks_ -= count;
        write_counted(breaks, count);
    }
}

void ConsoleModel::catch_up() {
    push_pending();
    write_waiting_breaks();
}

void ConsoleModel::forget_written_text() {
    text_written_ = false;
    bar_.active = false;
}

void ConsoleModel::input_read(bool echoed) {
    if (!echoed || !is_console_) return;
    forget_written_text();
    lowest_ = cursor_.line;
    cursor_known_ = false;
}

bool ConsoleModel::write_text(const char* text, std::size_t length) {
    if (!cursor_in_step()) return false;
    if (length == 0) return true;
    push_pending();
    std::size_t breaks = 0;
    while (breaks < length && text[breaks] == '\n') ++breaks;
    if (breaks == length && (cursor_at_bar_ || waiting_breaks_ > 0)) {
        waiting_breaks_ += length;
        hold_until_exit();
        return true;
    }
    write_waiting_breaks();
    // Text that would begin over what is already there starts on the line
    // after it, with the line breaks it begins with (one at least).
    Place end;
    if (breaks < length && protected_end(&end)) {
        const Place start{cursor_.line + static_cast<long long>(breaks),
                          breaks > 0 ? 0 : cursor_.column};
        if (is_before(start, end)) {
            go_to(Place{reachable(end.line) ? end.line : lowest_, 0});
            if (breaks == 0) write_counted("\n", 1);
        }
    }
    write_counted(text, length);
    note_text_end(text, length);
    return true;
}

bool ConsoleModel::hand_out_row(long* row) {
    catch_up();
    bool was_in_step = cursor_known_ && reading_.cursor_known;
    Place before = cursor_;
    if (!look()) return false;
    // Someone else moved the cursor (a program started here wrote): what
    // this program wrote is no longer where it was.
    if (reading_.cursor_known &&
        (!was_in_step || before.line != cursor_.line || before.column != cursor_.column))
        forget_written_text();
    bar_ = Bar{true, cursor_.line, cursor_.line, false, Place{}};
    *row = static_cast<long>(cursor_.line);
    return true;
}

void ConsoleModel::move_to(long row, long column) {
    if (row < 0 || column < 0 || !cursor_in_step()) return;
    push_pending();
    waiting_breaks_ = 0;  // the move takes the cursor away from where they lead
    bool is_bar = bar_.active && row == bar_.handle;
    if (is_bar && bar_.drawn && pending_.row == row && pending_.width > 0 &&
        !reachable(bar_.line)) {
        // The bar's line has left the screen: it is drawn again below.
        pending_.active = true;
        push_pending();
    }
    go_to(after_cells(line_of(row), static_cast<std::size_t>(column)));
    cursor_at_bar_ = is_bar;
}

void ConsoleModel::set_attribute(unsigned short attribute) {
    if (!is_console_ || (attribute_known_ && attribute_ == attribute)) return;
    device_.set_attribute(attribute);
    attribute_ = attribute;
    attribute_known_ = true;
}

void ConsoleModel::write_cells(long row, long column, const char* text,
                               const unsigned short* attributes, std::size_t count) {
    if (!is_console_ || row < 0 || column < 0) return;
    if (pending_.active && pending_.row != row) push_pending();
    if (!pending_.active) {
        hold_until_exit();
        pending_.active = true;
        pending_.row = row;
        pending_.width = 0;
    }
    // Cells before the column that nothing wrote yet are left as they are:
    // the row is only ever written from column 0 on.
    std::size_t start = static_cast<std::size_t>(column);
    if (start > pending_.width) start = pending_.width;
    for (std::size_t i = 0; i < count && start + i < MAX_CELLS; ++i) {
        pending_.text[start + i] = text[i];
        pending_.attributes[start + i] =
            attributes[i] == ATTRIBUTE_IN_FORCE ? attribute_ : attributes[i];
    }
    std::size_t end = start + count < MAX_CELLS ? start + count : MAX_CELLS;
    if (end > pending_.width) pending_.width = end;
    pending_.cursor_after = end;
    if (device_.now_ms() - pending_.last_push_ms >= device_.push_interval_ms()) push_pending();
}

// Puts the waiting cells on the console: in one call where it can put a
// row of cells, otherwise as text, a run of one colour at a time, so that
// on a narrow console they wrap onto the rows below as any text does.
void ConsoleModel::push_pending() {
    if (!pending_.active) return;
    pending_.active = false;
    pending_.last_push_ms = device_.now_ms();
    if (!cursor_in_step()) return;
    if (!bar_.active || bar_.handle != pending_.row)
        bar_ = Bar{true, pending_.row, line_of(pending_.row), false, Place{}};
    // Its line has left the screen, or its cells would wrap onto rows that
    // text written below the bar holds: a new line below the output.
    long long last_line_held = bar_.drawn ? bar_.end.line : bar_.line;
    bool covers_text = after_cells(bar_.line, pending_.width).line > last_line_held &&
                       text_written_ && text_end_.line > last_line_held;
    if (!reachable(bar_.line) || covers_text) bar_.line = fresh_line_below_output();
    bar_.drawn = true;
    waiting_breaks_ = 0;  // the draw takes the cursor back up
    long long row = bar_.line - top();
    if (row >= 0 && row < reading_.height &&
        pending_.width <= static_cast<std::size_t>(reading_.width) &&
        device_.write_row(static_cast<long>(row), pending_.text, pending_.attributes,
                          pending_.width)) {
        bar_.end.line = bar_.line;
        bar_.end.column = static_cast<long>(pending_.width);
    } else {
        // From the line's start (or at the cursor, beyond the buffer).
        go_to(Place{bar_.line, 0});
        unsigned short in_force = attribute_;
        std::size_t from = 0;
        while (from < pending_.width) {
            std::size_t to = from + 1;
            while (to < pending_.width && pending_.attributes[to] == pending_.attributes[from])
                ++to;
            set_attribute(pending_.attributes[from]);
            write_counted(pending_.text + from, to - from);
            from = to;
        }
        set_attribute(in_force);
        bar_.end = cursor_;
    }
    go_to(after_cells(bar_.line, pending_.cursor_after));
    cursor_at_bar_ = true;
}

// The progress bar's console operations of platform.h, the same on every
// backend: each acts on the backend's console model.

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
