// The progress bar on a terminal: the bytes the program writes to a
// pseudo-terminal are played on a small screen model (24 rows that scroll,
// cursor moves, colours), and the screen is checked cell by cell.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "deploy/copy_directory.h"
#include "deploy/show_progress_bar.h"
#include "platform/platform.h"
#include "setup/console_output.h"
#include "tests/test_support.h"

namespace {

struct Cell {
    char c = ' ';
    int colour = 0;  // 0 default, 32 green, 31 red
};

// A terminal of the given height: rows scroll away at the bottom, the cursor
// cannot move above the top of the screen.
class Screen {
  public:
    explicit Screen(int height) : height_(height) {
        lines_.emplace_back();
    }

    void play(const std::string& bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            char c = bytes[i];
            if (c == '\x1b' && i + 1 < bytes.size() && bytes[i + 1] == '[') {
                std::size_t end = i + 2;
                while (end < bytes.size() && !std::isalpha(static_cast<unsigned char>(bytes[end])))
                    ++end;
                int n = std::atoi(bytes.substr(i + 2, end - i - 2).c_str());
                char command = bytes[end];
                ++sequences;
                if (command == 'A') row_ = std::max(top(), row_ - (n == 0 ? 1 : n));
                if (command == 'C') column_ += n == 0 ? 1 : n;
                if (command == 'm') colour_ = n;
                i = end;
            } else if (c == '\n') {
                ++row_;
                if (row_ >= static_cast<int>(lines_.size())) lines_.emplace_back();
            } else if (c == '\r') {
                column_ = 0;
            } else {
                std::vector<Cell>& line = lines_[static_cast<std::size_t>(row_)];
                if (static_cast<int>(line.size()) <= column_)
                    line.resize(static_cast<std::size_t>(column_) + 1);
                line[static_cast<std::size_t>(column_)] = Cell{c, colour_};
                ++column_;
            }
            lowest_ = std::max(lowest_, row_);
        }
    }

    std::string text(int row) const {
        std::string out;
        for (const Cell& cell : lines_[static_cast<std::size_t>(row)]) out += cell.c;
        return out;
    }
    std::string colours(int row) const {
        std::string out;
        for (const Cell& cell : lines_[static_cast<std::size_t>(row)]) {
            out += cell.colour == 32 ? 'g' : cell.colour == 31 ? 'r' : '.';
        }
        return out;
    }
    int row_count() const {
        return static_cast<int>(lines_.size());
    }
    int cursor_row() const {
        return row_;
    }
    int cursor_column() const {
        return column_;
    }
    int sequences = 0;

  private:
    int top() const {
        return std::max(0, lowest_ - height_ + 1);
    }
    int height_;
    std::vector<std::vector<Cell>> lines_;
    int row_ = 0;
    int column_ = 0;
    int colour_ = 0;
    int lowest_ = 0;
};

// Runs the work in a child whose standard output is a pseudo-terminal of
// 80 columns and 24 rows, and returns every byte it wrote there.
std::string on_terminal(const std::function<void()>& work) {
    int master = -1;
    struct winsize size = {24, 80, 0, 0};
    pid_t child = forkpty(&master, nullptr, nullptr, &size);
    if (child == 0) {
        work();
        std::exit(0);  // as the program ends: whatever is still to be drawn is drawn
    }
    std::string bytes;
    char buffer[4096];
    for (;;) {
        ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    waitpid(child, nullptr, 0);
    close(master);
    return bytes;
}

std::string bar(int green, const std::string& tail) {
    return "[" + std::string(static_cast<std::size_t>(green), '#') +
           std::string(50 - static_cast<std::size_t>(green), '-') + tail;
}
std::string bar_colours(int green, std::size_t tail_length) {
    return "." + std::string(static_cast<std::size_t>(green), 'g') +
           std::string(50 - static_cast<std::size_t>(green), 'r') + std::string(tail_length, '.');
}

short bar_row_here() {
    short row = 0;
    platform::get_cursor_row(&row);
    return static_cast<short>(row + 2);
}

TEST(ProgressBar, DrawsCellsColoursAndLeavesLongerTailsBehind) {
    Screen screen(24);
    screen.play(on_terminal([] {
        write_text("Copying...\n");
        short row = bar_row_here();
        show_progress_bar(100, row);
        show_progress_bar(66, row);
    }));
    // The cursor stood on row 1 after the message: the bar goes two below.
    EXPECT_EQ(screen.text(0), "Copying...");
    EXPECT_EQ(screen.text(1), "");
    EXPECT_EQ(screen.text(2), "");
    EXPECT_EQ(screen.text(3), bar(33, "] 66%%"));
    EXPECT_EQ(screen.colours(3), bar_colours(33, 6));
    EXPECT_EQ(screen.cursor_row(), 3);
    EXPECT_EQ(screen.cursor_column(), 56);
}

TEST(ProgressBar, ARedrawIsAHandfulOfCallsAndAnUnchangedOneIsSkipped) {
    Screen screen(24);
    std::string bytes = on_terminal([] {
        write_text("Copying...\n");
        short row = bar_row_here();
        show_progress_bar(1, row);  // no whole 2 %: no green cells
        show_progress_bar(42, row);
        write_text("\nan error message below the bar\n");
        show_progress_bar(42, row);  // what the row already shows
    });
    screen.play(bytes);
    EXPECT_EQ(screen.text(3), bar(21, "] 42%"));
    EXPECT_EQ(screen.colours(3), bar_colours(21, 5));
    EXPECT_EQ(screen.text(4), "an error message below the bar");
    // The skipped redraw only puts the cursor back where a draw leaves it.
    EXPECT_EQ(screen.cursor_row(), 3);
    EXPECT_EQ(screen.cursor_column(), 56);
    // Draw one (down by line feeds): red, grey. Draw two (same row): green,
    // red, grey. The skip: up, then right.
    EXPECT_EQ(screen.sequences, 2 + 3 + 2);
}

TEST(ProgressBar, StaysOnItsRowWhenTheTerminalScrolls) {
    Screen screen(24);
    screen.play(on_terminal([] {
        for (int i = 0; i < 30; ++i) write_text("filler line\n");
        write_text("Copying...\n");
        short row = bar_row_here();  // below the bottom of the screen
        show_progress_bar(50, row);
        write_text("\nError copying file: one\n");
        write_text("\nError copying file: two\n");
        show_progress_bar(100, row);
        write_text("\n");
    }));
    EXPECT_EQ(screen.text(30), "Copying...");
    EXPECT_EQ(screen.text(32), "");
    EXPECT_EQ(screen.text(33), bar(50, "] 100%"));
    EXPECT_EQ(screen.colours(33), bar_colours(50, 6));
    EXPECT_EQ(screen.text(34), "Error copying file: one");
}

TEST(ProgressBar, TreeCopyOnATerminal) {
    ScratchFolder scratch;
    make_folders(scratch / "c/src/s");
    for (const char* name : {"a", "b", "c", "s/x", "s/y"})
        write_file(scratch / ("c/src/" + std::string(name)), name);
    setenv("SETUP_DRIVE_C", (scratch / "c").c_str(), 1);
    std::string folder = scratch.path();
    Screen screen(24);
    std::string bytes = on_terminal([&] {
        if (chdir(folder.c_str()) != 0) _exit(1);
        setenv("SETUP_CONSOLE_PUSH_MS", "0", 1);  // every draw reaches the terminal
        write_text("Copying...\n");
        copy_directory("C:\\src", "C:\\dst", bar_row_here());
    });
    unsetenv("SETUP_DRIVE_C");
    screen.play(bytes);
    // The subfolder's bar restarts: its first file draws 50 % on the shared row.
    EXPECT_NE(bytes.find("] 50%"), std::string::npos);
    EXPECT_NE(bytes.find("] 33%"), std::string::npos);
    EXPECT_NE(bytes.find("] 66%"), std::string::npos);
    // The top level's last file leaves 100 % with every cell green.
    EXPECT_EQ(screen.text(3).substr(0, 57), bar(50, "] 100%"));
    EXPECT_EQ(screen.colours(3).substr(0, 57), bar_colours(50, 6));
    EXPECT_EQ(screen.cursor_row(), 4)
        << "the level's closing line break leaves the cursor below the bar";
    EXPECT_EQ(read_file(scratch / "c/dst/s/y"), "s/y");
}

TEST(ProgressBar, GatheredDrawsLeaveTheSameScreen) {
    // Many draws at once reach the terminal together, in fewer writes, and
    // the screen ends up as if each had been drawn.
    auto draws = [] {
        write_text("Copying...\n");
        short row = bar_row_here();
        for (int percent : {10, 100, 4, 66}) show_progress_bar(percent, row);
    };
    Screen gathered(24);
    std::string gathered_bytes = on_terminal(draws);
    gathered.play(gathered_bytes);
    Screen each(24);
    each.play(on_terminal([&] {
        setenv("SETUP_CONSOLE_PUSH_MS", "0", 1);
        draws();
    }));
    EXPECT_EQ(gathered.text(3), bar(33, "] 66%%"));
    EXPECT_EQ(each.text(3), gathered.text(3));
    EXPECT_EQ(each.colours(3), gathered.colours(3));
    EXPECT_EQ(gathered.cursor_column(), each.cursor_column());
    EXPECT_LT(gathered.sequences, each.sequences);
}

TEST(ProgressBar, NothingIsDrawnWhenOutputIsNoTerminal) {
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    pid_t child = fork();
    if (child == 0) {
        dup2(pipe_ends[1], 1);
        close(pipe_ends[0]);
        short row = 0;
        write_text(platform::get_cursor_row(&row) ? "row\n" : "no row\n");
        show_progress_bar(50, -1);
        platform::set_text_attribute(2);
        platform::set_cursor_position(3, 4);
        write_text("plain text\n");
        _exit(0);
    }
    close(pipe_ends[1]);
    std::string bytes;
    char buffer[256];
    for (ssize_t got; (got = read(pipe_ends[0], buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<std::size_t>(got));
    close(pipe_ends[0]);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(bytes, "no row\nplain text\n");
}

}  // namespace
