// The progress bar on a terminal: the bytes the program writes to a
// pseudo-terminal are played on a small screen model (80 columns that wrap,
// rows that scroll, cursor moves, colours), and the screen is checked cell
// by cell. Where the bar goes as the content scrolls is the console model's
// tests' (on a terminal and a Windows console alike); here it is checked
// once end to end, on a short terminal.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "deploy/copy_directory.h"
#include "deploy/copy_stage.h"
#include "deploy/show_progress_bar.h"
#include "platform/platform.h"
#include "setup/bounded_text.h"
#include "setup/console_output.h"
#include "tests/test_support.h"

namespace {

struct Cell {
    char c = ' ';
    int colour = 0;  // 0 default, 32 green, 31 red
};

// A terminal of the given height: rows scroll away at the bottom, the cursor
// cannot move above the top of the screen. A character written past the
// last column goes on at the start of the next row (the cursor waits in the
// last column until then, as on xterm).
class Screen {
  public:
    explicit Screen(int height, int width = 80) : height_(height), width_(width) {
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
                if (command == 'C') column_ = std::min(width_ - 1, column_ + (n == 0 ? 1 : n));
                if (command == 'm') colour_ = n;
                i = end;
            } else if (c == '\n') {
                next_row();
            } else if (c == '\r') {
                column_ = 0;
            } else {
                if (column_ >= width_) {
                    next_row();
                    column_ = 0;
                }
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
        if (row < 0 || row >= row_count()) return out;
        for (const Cell& cell : lines_[static_cast<std::size_t>(row)]) out += cell.c;
        return out;
    }
    std::string colours(int row) const {
        std::string out;
        if (row < 0 || row >= row_count()) return out;
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
    // The first row still on the screen; the rows above it have scrolled off.
    int top() const {
        return std::max(0, lowest_ - height_ + 1);
    }
    int sequences = 0;

  private:
    void next_row() {
        ++row_;
        if (row_ >= static_cast<int>(lines_.size())) lines_.emplace_back();
    }
    int height_;
    int width_;
    std::vector<std::vector<Cell>> lines_;
    int row_ = 0;
    int column_ = 0;
    int colour_ = 0;
    int lowest_ = 0;
};

// Runs the work in a child whose standard output is a pseudo-terminal of
// the given size, and returns every byte it wrote there.
std::string on_terminal(const std::function<void()>& work, unsigned short rows = 24,
                        unsigned short columns = 80) {
    int master = -1;
    struct winsize size = {rows, columns, 0, 0};
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

long bar_row_here() {
    long row = 0;
    platform::get_cursor_row(&row);
    return row + 2;
}

TEST(ProgressBar, DrawsCellsColoursAndLeavesLongerTailsBehind) {
    Screen screen(24);
    screen.play(on_terminal([] {
        write_text("Copying...\n");
        long row = bar_row_here();
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

// One cell per whole 2 %: 1 % fills none, 99 % forty-nine, and nothing
// beyond 100 % fills more than the fifty.
TEST(ProgressBar, CellsPerPercent) {
    const struct {
        int percent;
        int green;
    } cases[] = {{0, 0}, {1, 0}, {2, 1}, {99, 49}, {100, 50}, {150, 50}};
    for (const auto& c : cases) {
        Screen screen(24);
        screen.play(on_terminal([&] { show_progress_bar(c.percent, bar_row_here()); }));
        std::string tail = "] " + std::to_string(c.percent) + "%";
        EXPECT_EQ(screen.text(2), bar(c.green, tail)) << c.percent << " %";
        EXPECT_EQ(screen.colours(2), bar_colours(c.green, tail.size())) << c.percent << " %";
    }
}

TEST(ProgressBar, ARedrawIsAHandfulOfCallsAndAnUnchangedOneIsSkipped) {
    Screen screen(24);
    std::string bytes = on_terminal([] {
        write_text("Copying...\n");
        long row = bar_row_here();
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
        long row = bar_row_here();
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
        long row = 0;
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

// The bar's row as the copy stage takes it: two line breaks below the
// cursor, made by writing them.
long bar_row_as_the_stage_takes_it() {
    long row = 0;
    platform::get_cursor_row(&row);
    write_text("\n\n");
    platform::get_cursor_row(&row);
    return row;
}

TEST(ProgressBar, TextAfterARedrawStartsBelowTheLastTextWritten) {
    Screen screen(24);
    screen.play(on_terminal([] {
        write_text("Copying...\n");
        long row = bar_row_as_the_stage_takes_it();
        // On the bar's row before its first draw: it goes below.
        write_text("Error: Could not create directory C:\\x (Error Code: 80)\n");
        show_progress_bar(50, row);
        write_text("\nError copying file: a\n");
        show_progress_bar(60, row);
        // No leading line break, and the cursor on the bar's row.
        write_text("Error: Could not create directory C:\\y (Error Code: 80)\n");
        show_progress_bar(70, row);
        write_text("\nError copying file: b\n");
        write_text("\n");  // a level's closing line break
        show_progress_bar(80, row);
        write_text("\n");
    }));
    EXPECT_EQ(screen.text(0), "Copying...");
    EXPECT_EQ(screen.text(1), "");
    EXPECT_EQ(screen.text(2), "");
    EXPECT_EQ(screen.text(3), bar(40, "] 80%"));
    EXPECT_EQ(screen.colours(3), bar_colours(40, 5));
    EXPECT_EQ(screen.text(4), "Error: Could not create directory C:\\x (Error Code: 80)");
    EXPECT_EQ(screen.text(5), "Error copying file: a");
    EXPECT_EQ(screen.text(6), "Error: Could not create directory C:\\y (Error Code: 80)");
    EXPECT_EQ(screen.text(7), "Error copying file: b");
    for (int row = 8; row < screen.row_count(); ++row)
        EXPECT_EQ(screen.text(row), "") << "nothing written below the last error";
    EXPECT_EQ(screen.cursor_row(), 4) << "the closing line break stands right below the bar";
}

// ---- Copies with failing files ---------------------------------------------

// Files prefix01..prefixNN in the source folder; the even-numbered ones meet
// a folder of their name at the target, so copying them fails.
void make_half_failing_files(const std::string& source, const std::string& target,
                             const std::string& prefix, int count) {
    make_folders(source);
    for (int i = 1; i <= count; ++i) {
        std::string name = prefix + (i < 10 ? "0" : "") + std::to_string(i);
        write_file(source + "/" + name, name);
        if (i % 2 == 0) make_folders(target + "/" + name);
    }
}

struct StageRun {
    std::string bytes;             // what reached the terminal
    std::vector<std::string> log;  // install.log, line by line
};

// Runs the copy stage (C:\src into C:\app, C:\data into C:\app_data) on a
// terminal of the given rows, in the scratch folder.
StageRun run_copy_stage_on_terminal(const ScratchFolder& scratch, unsigned short rows) {
    setenv("SETUP_DRIVE_C", (scratch / "c").c_str(), 1);
    std::string folder = scratch.path();
    StageRun run;
    run.bytes = on_terminal(
        [&] {
            if (chdir(folder.c_str()) != 0) _exit(1);
            setenv("SETUP_CONSOLE_PUSH_MS", "0", 1);  // every draw reaches the terminal
            SetupParameters p;
            copy_text(p.SOURCE_DIR, sizeof p.SOURCE_DIR, "C:\\src");
            copy_text(p.APP_HOME, sizeof p.APP_HOME, "C:\\app");
            copy_text(p.SOURCE_DATA_DIR, sizeof p.SOURCE_DATA_DIR, "C:\\data");
            copy_text(p.DATA_HOME, sizeof p.DATA_HOME, "C:\\app_data");
            run_copy_stage(p);
        },
        rows);
    unsetenv("SETUP_DRIVE_C");
    std::istringstream log(read_file(scratch / "install.log"));
    for (std::string line; std::getline(log, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        run.log.push_back(line);
    }
    return run;
}

std::set<std::string> copy_errors_logged(const std::vector<std::string>& log) {
    std::set<std::string> errors;
    for (const std::string& line : log)
        if (line.rfind("Error copying file: ", 0) == 0) errors.insert(line);
    return errors;
}

// Whether the log has a failed copy, then a copied file, then another failed
// copy: a bar redraw between two error messages.
bool redraw_between_errors(const std::vector<std::string>& log) {
    int stage = 0;
    for (const std::string& line : log) {
        bool error = line.rfind("Error copying file: ", 0) == 0;
        bool copied = line.rfind("Copied file: ", 0) == 0;
        if ((stage == 0 && error) || (stage == 1 && copied)) ++stage;
        if (stage == 2 && error) return true;
    }
    return false;
}

bool is_bar_line(const std::string& line) {
    static const std::regex bar_text(R"(\[[#-]{50}\] [0-9]+%+)");
    return std::regex_match(line, bar_text);
}

// A line as the program wrote it: rows filled to the last column go on in
// the next one.
struct LogicalLine {
    int row;  // its first row on the screen model
    std::string text;
};

std::vector<LogicalLine> logical_lines(const Screen& screen) {
    std::vector<LogicalLine> lines;
    bool continued = false;
    for (int row = 0; row < screen.row_count(); ++row) {
        std::string text = screen.text(row);
        if (continued) {
            lines.back().text += text;
        } else {
            lines.push_back({row, text});
        }
        continued = text.size() == 80;
    }
    return lines;
}

// Every line of the terminal's history is empty, a whole bar, a whole error
// line the log names, or one of the stage's own messages; every error the
// log names is on a line of its own. Returns the bar lines of each copy, in
// order, as the rows they stand on.
std::vector<std::vector<int>> check_every_line(const Screen& screen,
                                               const std::vector<std::string>& log) {
    static const std::regex stage_message(
        R"(Creating (APP|DATA)_HOME\. Copying files from .*\.\.\.|(APP|DATA)_HOME created\.|)"
        R"(Error: (APP|DATA)_HOME was not completely created: [0-9]+ errors\. See install\.log )"
        R"(for details\.)");
    std::set<std::string> errors = copy_errors_logged(log);
    std::set<std::string> shown;
    std::vector<std::vector<int>> bars;
    for (const LogicalLine& line : logical_lines(screen)) {
        if (line.text.rfind("Creating ", 0) == 0) bars.emplace_back();
        if (line.text.empty() || std::regex_match(line.text, stage_message)) continue;
        if (is_bar_line(line.text)) {
            if (bars.empty()) {
                ADD_FAILURE() << "a bar before any copy began, row " << line.row;
            } else {
                bars.back().push_back(line.row);
            }
            continue;
        }
        if (errors.count(line.text) != 0) {
            shown.insert(line.text);
            continue;
        }
        ADD_FAILURE() << "row " << line.row
                      << " holds neither a whole bar, a whole error nor a message: \"" << line.text
                      << "\"";
    }
    for (const std::string& error : errors)
        EXPECT_EQ(shown.count(error), 1u) << "not whole on any line: " << error;
    return bars;
}

TEST(ProgressBar, EveryErrorLineStaysWholeBetweenRedraws) {
    // Failing files between copied ones, at two levels and in both copies:
    // each error message follows a redraw that put the cursor back on the
    // bar's line, above the error lines already there.
    ScratchFolder scratch;
    make_half_failing_files(scratch / "c/src", scratch / "c/app", "a", 12);
    make_half_failing_files(scratch / "c/src/s", scratch / "c/app/s", "s", 6);
    make_half_failing_files(scratch / "c/data", scratch / "c/app_data", "d", 6);
    StageRun run = run_copy_stage_on_terminal(scratch, 100);  // nothing scrolls
    ASSERT_TRUE(redraw_between_errors(run.log)) << "the copy never redrew between two errors";
    ASSERT_EQ(copy_errors_logged(run.log).size(), 6u + 3u + 3u);
    Screen screen(100);
    screen.play(run.bytes);

    std::vector<std::vector<int>> bars = check_every_line(screen, run.log);
    ASSERT_EQ(bars.size(), 2u);
    for (std::size_t copy = 0; copy < bars.size(); ++copy) {
        ASSERT_EQ(bars[copy].size(), 1u) << "copy " << copy << " left more than one bar line";
        // Its own line, two below the line after the copy's message.
        int bar_row = bars[copy][0];
        EXPECT_EQ(screen.text(bar_row - 3).rfind("Creating ", 0), 0u);
        EXPECT_EQ(screen.text(bar_row - 2), "");
        EXPECT_EQ(screen.text(bar_row - 1), "");
    }
    // The data copy's only level ends at 3 of 6 files copied.
    EXPECT_EQ(screen.text(bars[1][0]), bar(25, "] 50%"));
    EXPECT_EQ(screen.colours(bars[1][0]), bar_colours(25, 5));
}

TEST(ProgressBar, OnAShortTerminalTheBarKeepsALineOfItsOwn) {
    // 10 rows: the error lines below the bar push its line off the top of
    // the screen, where no cursor move reaches it any more.
    ScratchFolder scratch;
    make_half_failing_files(scratch / "c/src", scratch / "c/app", "x", 30);
    make_folders(scratch / "c/data");
    write_file(scratch / "c/data/d1", "d1");
    write_file(scratch / "c/data/d2", "d2");
    StageRun run = run_copy_stage_on_terminal(scratch, 10);
    ASSERT_TRUE(redraw_between_errors(run.log)) << "the copy never redrew between two errors";
    ASSERT_EQ(copy_errors_logged(run.log).size(), 15u);
    Screen screen(10);
    screen.play(run.bytes);

    std::vector<std::vector<int>> bars = check_every_line(screen, run.log);
    ASSERT_EQ(bars.size(), 2u);
    for (const std::vector<int>& rows : bars) {
        ASSERT_FALSE(rows.empty());
        // A line the bar left behind has scrolled off: the screen shows one.
        for (std::size_t i = 0; i + 1 < rows.size(); ++i)
            EXPECT_LT(rows[i], screen.top()) << "an old bar line still on the screen";
    }
    // Each copy's bar ends with its last draw: 15 of 30 files, then 2 of 2.
    EXPECT_EQ(screen.text(bars[0].back()), bar(25, "] 50%"));
    EXPECT_EQ(screen.text(bars[1].back()), bar(50, "] 100%"));
    EXPECT_EQ(screen.colours(bars[1].back()), bar_colours(50, 6));
    EXPECT_GE(bars[1].back(), screen.top());
}

}  // namespace
