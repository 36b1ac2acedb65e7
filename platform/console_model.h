// Where the progress bar is drawn and where later text goes, on any console.
//
// A backend gives the raw operations of its console (ConsoleDevice); the
// model decides everything else, the same way on every console:
//  - a line is named by a number that never wraps: the buffer row plus the
//    rows the content has scrolled up since the program started, so the
//    bar keeps its line wherever the content has moved it;
//  - text that would begin before the end of what this program last wrote
//    (or on the bar's line, before its end) goes on the line below that, so
//    nothing is drawn over;
//  - line breaks written right after a bar draw wait: the next draw puts the
//    cursor back up on the bar's line, and writing them would only scroll
//    the bar away on a console full to its last row;
//  - the bar's line, once it has left the screen, is drawn again on a new
//    line below everything written, and so it is when its cells would wrap
//    (on a narrow console) onto rows that text below it holds;
//  - cells written in quick succession are gathered and put on the console
//    at most every push interval, and always before anything else is
//    written, moved or read, and at exit: the screen ends up as if each had
//    been written.
#pragma once

#include <cstddef>

namespace platform {

// What a console tells of itself when asked.
struct ConsoleReading {
    long width = 80;
    long height = 25;
    bool cursor_known = false;  // false where it cannot be asked (a terminal)
    long cursor_row = 0;        // in the buffer, 0 at its top
    long cursor_column = 0;
    unsigned short attribute = 7;  // in force
    // A terminal's rules: a wrap waits for the next character, control
    // characters take no cell and a tab stops at the last column. Otherwise
    // (a Windows console) a character in the last column wraps at once.
    bool wrap_delayed = false;
    bool utf8 = false;  // cells are UTF-8 sequences, not bytes
};

// How often gathered redraws reach the console at most, in milliseconds.
constexpr long long CONSOLE_PUSH_INTERVAL_MS = 50;

// The raw operations of one console. Rows are buffer rows; a row outside
// the buffer is one that has scrolled away above it or is still to come.
class ConsoleDevice {
  public:
    // Stores what the console tells of itself. False when it is no console.
    virtual bool read(ConsoleReading* reading) = 0;
    // Writes the bytes at the cursor.
    virtual void write(const char* text, std::size_t length) = 0;
    // Moves the cursor from the row it stands on to the row and column,
    // false when it cannot go there (then it stays).
    virtual bool move(long from_row, long row, long column) = 0;
    // Puts the cells on the row from column 0 on, the cursor left where it
    // is. False when the console cannot, as a terminal cannot: they are
    // then written as text.
    virtual bool write_row(long, const char*, const unsigned short*, std::size_t) {
        return false;
    }
    virtual void set_attribute(unsigned short attribute) = 0;
    virtual long long now_ms() = 0;
    virtual long long push_interval_ms() = 0;

  protected:
    ~ConsoleDevice() = default;
};

class ConsoleModel {
  public:
    explicit ConsoleModel(ConsoleDevice& device) : device_(device) {}
    ~ConsoleModel();
    ConsoleModel(const ConsoleModel&) = delete;
    ConsoleModel& operator=(const ConsoleModel&) = delete;

    // Text for the console, placed below what is there when it would
    // begin over it. Line breaks alone right after a draw wait. False when
    // output is no console (nothing is written then).
    bool write_text(const char* text, std::size_t length);
    // Hands out the cursor's line as the row the bar goes on. False when
    // output is no console.
    bool hand_out_row(long* row);
    // Moves the cursor to the column of a handed-out row.
    void move_to(long row, long column);
    void set_attribute(unsigned short attribute);
    // Puts cells on a handed-out row from the column on (gathered).
    void write_cells(long row, long column, const char* text, const unsigned short* attributes,
                     std::size_t count);
    // Before input is read: everything waiting reaches the console.
    void catch_up();
    // After input was read: where the console echoed it, what was written
    // before is out of reach and the cursor is no longer where counted.
    void input_read(bool echoed);

  private:
    static constexpr long WHOLE_ROW = 0x7FFFFFFF;
    static constexpr std::size_t MAX_CELLS = 128;

    // A place in the console's content: a line and a column; WHOLE_ROW
    // stands after everything on the line.
    struct Place {
        long long line = 0;
        long column = 0;
    };
    static bool is_before(const Place& a, const Place& b);

    bool look();
    bool cursor_in_step();
    long long top() const;
    bool reachable(long long line) const;
    Place after_text(Place from, const char* text, std::size_t length) const;
    void write_counted(const char* text, std::size_t length);
    void note_text_end(const char* text, std::size_t length);
    bool go_to(Place place);
    bool protected_end(Place* end) const;
    long long line_of(long row) const;
    Place after_cells(long long line, std::size_t count) const;
    long long fresh_line_below_output();
    void write_waiting_breaks();
    void push_pending();
    void forget_written_text();
    void hold_until_exit();

    ConsoleDevice& device_;
    ConsoleReading reading_;
    bool is_console_ = false;
    bool cursor_known_ = false;
    Place cursor_;
    long long scrolled_ = 0;  // rows the content moved up (a console that tells its cursor)
    long long lowest_ = 0;    // the lowest line the cursor has been on
    bool attribute_known_ = false;
    unsigned short attribute_ = 7;
    bool text_written_ = false;  // text_end_ holds something
    Place text_end_;             // just after the last text written

    struct Bar {
        bool active = false;
        long long handle = 0;  // the row the program names it by: the line it was handed out on
        long long line = 0;
        bool drawn = false;
        Place end;  // just after its cells, once drawn
    } bar_;

    std::size_t waiting_breaks_ = 0;
    bool cursor_at_bar_ = false;

    // Cells waiting to be put on one row, from column 0 on. Once put there,
    // they stay here as what the row shows.
    struct Pending {
        bool active = false;
        long row = 0;
        std::size_t width = 0;
        std::size_t cursor_after = 0;
        char text[MAX_CELLS];
        unsigned short attributes[MAX_CELLS];
        long long last_push_ms = -(1LL << 40);  // long before: the first cells go at once
    } pending_;
};

// The backend's one console, on which platform.h's console operations act
// (the progress bar's operations). Each backend defines it.
ConsoleModel& the_console();

}  // namespace platform
