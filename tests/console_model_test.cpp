// The console model on an in-memory console of either kind, a buffer no
// taller than its window that scrolls at a line break on its last row:
//  - a Windows console tells its cursor, wraps a row at once when its last
//    column is written, and takes a row of cells in one call;
//  - a terminal tells nothing of its cursor, wraps at the next character
//    after the last column, takes cells only as text, and moves the cursor
//    by rows up (never above its top) or line feeds down, as the POSIX
//    backend's terminal does. (The backend's own bytes on a real
//    pseudo-terminal are the progress bar tests'.)
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "console_model.h"

namespace {

class MemoryConsole : public platform::ConsoleDevice {
  public:
    MemoryConsole(long width, long height, bool utf8 = false, bool terminal = false)
        : width_(width),
          rows_(static_cast<std::size_t>(height)),
          utf8_(utf8),
          terminal_(terminal) {}
    bool read(platform::ConsoleReading* r) override {
        r->width = width_;
        r->height = static_cast<long>(rows_.size());
        r->cursor_known = !terminal_;
        r->cursor_row = terminal_ ? 0 : y_;
        r->cursor_column = terminal_ ? 0 : x_;
        r->wrap_delayed = terminal_;
        r->utf8 = utf8_;
        return true;
    }
    void write(const char* text, std::size_t length) override {
        for (std::size_t i = 0; i < length; ++i) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            std::string cell(1, static_cast<char>(c));
            while (utf8_ && i + 1 < length && (text[i + 1] & 0xC0) == 0x80) cell += text[++i];
            if (c == '\n') {
                line_break();
            } else if (c == '\r' && terminal_) {
                x_ = 0;
            } else {
                put(cell);
            }
        }
    }
    bool move(long from_row, long row, long column) override {
        if (terminal_) {
            if (row < from_row) {
                y_ = std::max(0L, y_ - (from_row - row));
            } else {
                for (long down = row - from_row; down > 0; --down) line_break();
            }
            x_ = std::min(width_ - 1, column);
            return true;
        }
        if (row < 0 || row >= static_cast<long>(rows_.size()) || column >= width_) return false;
        y_ = row;
        x_ = column;
        return true;
    }
    bool write_row(long row, const char* text, const unsigned short*, std::size_t count) override {
        if (terminal_) return false;
        auto& cells = rows_[static_cast<std::size_t>(row)];
        if (cells.size() < count) cells.resize(count, " ");
        for (std::size_t i = 0; i < count; ++i) cells[i] = std::string(1, text[i]);
        return true;
    }
    void set_attribute(unsigned short) override {}
    long long now_ms() override {
        return ++clock_;
    }
    long long push_interval_ms() override {
        return 0;
    }

    // Every row as it shows, top first; trailing blank rows left out.
    std::vector<std::string> screen() const {
        std::vector<std::string> out;
        for (const auto& cells : rows_) {
            std::string row;
            for (const auto& cell : cells) row += cell;
            out.push_back(row.erase(row.find_last_not_of(' ') + 1));
        }
        while (!out.empty() && out.back().empty()) out.pop_back();
        return out;
    }

  private:
    void put(const std::string& cell) {
        if (x_ == width_) line_break();  // a terminal's wrap, waiting until now
        auto& cells = rows_[static_cast<std::size_t>(y_)];
        if (static_cast<long>(cells.size()) <= x_)
            cells.resize(static_cast<std::size_t>(x_) + 1, " ");
        cells[static_cast<std::size_t>(x_)] = cell;
        if (++x_ == width_ && !terminal_) line_break();
    }
    void line_break() {
        x_ = 0;
        if (++y_ < static_cast<long>(rows_.size())) return;
        rows_.erase(rows_.begin());
        rows_.emplace_back();
        --y_;
    }
    long width_;
    std::vector<std::vector<std::string>> rows_;
    bool utf8_;
    bool terminal_;
    long x_ = 0, y_ = 0;
    long long clock_ = 0;
};

struct Session {
    MemoryConsole screen;
    platform::ConsoleModel model{screen};
    long bar = -1;

    Session(long width, long height, bool utf8 = false, bool terminal = false)
        : screen(width, height, utf8, terminal) {}
    void text(const std::string& t) {
        model.write_text(t.data(), t.size());
    }
    // As the copy stage takes the bar's row: two line breaks below the cursor.
    void start_bar() {
        text("\n\n");
        ASSERT_TRUE(model.hand_out_row(&bar));
    }
    void draw(const std::string& cells) {
        std::vector<unsigned short> attributes(cells.size(), 7);
        model.write_cells(bar, 0, cells.data(), attributes.data(), cells.size());
    }
};

using Rows = std::vector<std::string>;

// The scrolling cases, on a Windows console and on a terminal alike.
class Scrolling : public ::testing::TestWithParam<bool> {
  protected:
    Session session(long width, long height) {
        return Session(width, height, false, GetParam());
    }
};

TEST_P(Scrolling, TheBarKeepsItsLineAsTheContentScrollsOnAnyWidth) {
    for (long width : {80L, 600L}) {
        Session run = session(width, 5);
        run.text("Copying...\n");
        run.start_bar();
        run.draw("[--] 0%");
        run.text("\nerror one\n");  // below the bar; scrolls the buffer by one
        run.draw("[#-] 50%");
        EXPECT_EQ(run.screen.screen(), (Rows{"", "", "[#-] 50%", "error one"})) << width;
    }
}

TEST_P(Scrolling, LineBreaksAfterADrawWaitSoTheBarOnTheLastRowStays) {
    Session run = session(80, 3);
    run.start_bar();
    run.start_bar();  // the bar on the last row
    run.draw("[--] 0%");
    run.text("\n");  // a folder's copy ends
    run.draw("[##] 100%");
    EXPECT_EQ(run.screen.screen(), (Rows{"", "", "[##] 100%"}));
    run.text("\ndone.\n");
    EXPECT_EQ(run.screen.screen(), (Rows{"[##] 100%", "done."}));
}

TEST_P(Scrolling, TheBarScrolledAwayIsDrawnAgainBelowTheLastText) {
    Session run = session(80, 4);
    run.start_bar();
    run.draw("[--] 0%");
    run.text("\ne1\ne2\ne3\ne4");  // the bar's line leaves the buffer
    run.draw("[##] 100%");
    run.text("\nend\n");
    EXPECT_EQ(run.screen.screen(), (Rows{"e4", "[##] 100%", "end"}));
}

TEST_P(Scrolling, OnANarrowConsoleTheBarWrapsAndTextNeverBeginsOverIt) {
    Session run = session(6, 6);
    run.start_bar();
    run.draw("[####] 100%");
    run.model.move_to(run.bar, 0);  // the cursor back at the bar's start
    run.text("end");
    EXPECT_EQ(run.screen.screen(), (Rows{"", "", "[####]", " 100%", "end"}));
}

INSTANTIATE_TEST_SUITE_P(ConsoleModel, Scrolling, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "OnATerminal" : "OnAWindowsConsole");
                         });

TEST(ConsoleModel, RowsHandedOutDoNotWrapInALongRun) {
    Session run(80, 25);
    run.text(std::string(40000, '\n'));
    run.start_bar();
    EXPECT_EQ(run.bar, 40002);
    run.draw("[##] 100%");
    EXPECT_EQ(run.screen.screen().back(), "[##] 100%");
}

TEST(ConsoleModel, UTF8SequencesAreOneCellEach) {
    // Five two-byte letters fill half the row: counted as bytes they would
    // fill it, wrap, and the bar's line would be taken for the one above.
    Session run(10, 3, true);
    run.start_bar();
    run.draw("[--] 0%");
    run.text("\n\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\n");
    run.draw("[##] 9%");
    EXPECT_EQ(run.screen.screen(), (Rows{"[##] 9%", "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9"}));
}

}  // namespace
