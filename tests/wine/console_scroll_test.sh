#!/usr/bin/env bash
# The progress bar on a console whose buffer is only as tall as its window
# (Wine in tmux, as Windows Terminal): build/win32 or build/win64 (the first
# argument) installs a distribution with 30 nested folders, so the copy's
# line breaks scroll the screen while the bar is drawn.
#  - 80 x 25: each copy leaves exactly one bar line, holding only the bar,
#    with its message above and its closing line below;
#  - 80 x 25 with files that cannot be copied (their targets are folders):
#    every error line stays whole on the screen, none drawn over;
#  - 80 x 25 with 30 failing files in one folder: the bar's line scrolls
#    out of the console; the next draw starts a new bar line below the
#    error lines instead of drawing over one of them;
#  - 40 columns: the bar wraps onto a second row, as written text would.
set -euo pipefail
source "$(dirname "$0")/common.sh"
use_build "${1:-}"
start_scratch
make_wine_distribution

# 30 nested folders, each with a file; one folder of files, some of which
# will fail, with copied files between the failures.
nested="$DIST"
for level in $(seq -w 1 30); do
    nested="$nested/n$level"
    mkdir "$nested"
    echo "level $level" > "$nested/file.txt"
done
mkdir "$DIST/f"
for name in a b c d e g h; do echo "$name" > "$DIST/f/$name.txt"; done
# Between f and n01 both in name and in creation order, so the copy meets
# it after f's files and before the nested folders' files.
mkdir "$DIST/m"
for number in $(seq -w 1 30); do echo "$number" > "$DIST/m/x$number.txt"; done

bar_pattern='^\[[#-]{50}\] [0-9]+%+'

# Runs a default install in a console of the given size; leaves the whole
# history in $HISTORY. Without SQL*Plus on the path the run goes on to its
# summary with an error line and ends with status 1.
install_in_console() {
    local columns=$1 rows=$2 name=$3
    WORK="$SCRATCH/work-$name"
    mkdir -p "$WORK"
    tmux -L "$TMUX_SOCKET" kill-server 2>/dev/null || true
    # A console of its own: a new session on the socket of a server still
    # shutting down fails with "server exited unexpectedly".
    TMUX_SOCKET="setup-wine-$$-$name"
    rm -f "$SCRATCH/exit-status"
    CONSOLE_COLUMNS=$columns CONSOLE_ROWS=$rows start_console "$WORK" "'$WINE' '$DIST/setup.exe'"
    # Beginnings of the prompts short enough not to wrap on 40 columns.
    PROMPT_CHARS=20 answer_defaults_and_confirm
    wait_for_text "to exit." 180
    HISTORY="$SCRATCH/history-$name.txt"
    # Wine's console draws a wrapped line as two rows of the terminal: a row
    # exactly as wide as the console goes on in the next one.
    whole_history | awk -v width="$columns" '
        { line = line $0 }
        length($0) != width { print line; line = "" }
        END { if (line != "") print line }' > "$HISTORY"
    type_line ""
    status=$(wait_for_exit)
    # 1: a stage failed (no SQL*Plus here; in one run, the copy too).
    [ "$status" = 1 ] || fail "$name: exit status $status, expected 1"
}

# The line numbers (in $HISTORY) of the lines matching the pattern.
lines_matching() {
    grep -n -E -- "$1" "$HISTORY" | cut -d: -f1 || true
}

# Every copy has one bar line, three below its message, holding only the
# bar at 100 %, and the copy's closing line right below it.
check_one_bar_per_copy() {
    local name=$1 bars message bar
    bars=$(lines_matching "$bar_pattern" | wc -l)
    [ "$bars" -eq 2 ] || fail "$name: $bars bar lines, expected one per copy: $(grep -E "$bar_pattern" "$HISTORY")"
    grep -E "$bar_pattern" "$HISTORY" | grep -vqxE '\[#{50}\] 100%' \
        && fail "$name: a bar line holds more than a full bar: $(grep -E "$bar_pattern" "$HISTORY")"
    for home in APP_HOME DATA_HOME; do
        message=$(lines_matching "^Creating $home\. " | head -1)
        [ -n "$message" ] || fail "$name: no $home message"
        bar=$((message + 3))
        sed -n "${bar}p" "$HISTORY" | grep -qxE '\[#{50}\] 100%' \
            || fail "$name: line $bar, three below the $home message, is not the bar: $(sed -n "${bar}p" "$HISTORY")"
    done
}

HOME_HOST="$DRIVE_C/XEPDB1/QUARNDEL"

# ---- 80 x 25, every file copied
install_in_console 80 25 scroll
check_one_bar_per_copy "80x25"
for home in APP_HOME DATA_HOME; do
    message=$(lines_matching "^Creating $home\. " | head -1)
    sed -n "$((message + 4))p" "$HISTORY" | grep -qxF "$home created." \
        || fail "80x25: '$home created.' is not right below its bar"
done
[ "$(cat "$HOME_HOST/n01/n02/n03/n04/n05/n06/n07/n08/n09/n10/n11/n12/n13/n14/n15/n16/n17/n18/n19/n20/n21/n22/n23/n24/n25/n26/n27/n28/n29/n30/file.txt")" = "level 30" ] \
    || fail "80x25: the deepest file was not copied"

# ---- 80 x 25, three files that fail (their targets are folders)
rm -rf "$DRIVE_C/XEPDB1"
for failing in f/b.txt f/e.txt n01/file.txt; do mkdir -p "$HOME_HOST/$failing/keep"; done
install_in_console 80 25 errors
check_one_bar_per_copy "80x25 with errors"
DIST_WIN=$(windows_path "$DIST")
for failing in 'f\b.txt' 'f\e.txt' 'n01\file.txt'; do
    line="Error copying file: $DIST_WIN\\$failing -> C:\\XEPDB1\\QUARNDEL\\$failing"
    grep -qxF "$line" "$HISTORY" || fail "80x25 with errors: the error line is not whole on the screen: $line"
done
errors=$(grep -c '^Error copying file: ' "$HISTORY")
[ "$errors" -eq 3 ] || fail "80x25 with errors: $errors error lines, expected 3"
grep -qxF "Error: APP_HOME was not completely created: 3 errors. See install.log for details." "$HISTORY" \
    || fail "80x25 with errors: no APP_HOME summary line"

# ---- 80 x 25, 30 files failing in a row: the bar's line leaves the console
rm -rf "$DRIVE_C/XEPDB1"
for number in $(seq -w 1 30); do mkdir -p "$HOME_HOST/m/x$number.txt/keep"; done
install_in_console 80 25 away
for number in $(seq -w 1 30); do
    line="Error copying file: $DIST_WIN\\m\\x$number.txt -> C:\\XEPDB1\\QUARNDEL\\m\\x$number.txt"
    grep -qxF "$line" "$HISTORY" || fail "scrolled away: the error line is not whole on the screen: $line"
done
grep -E "$bar_pattern" "$HISTORY" | grep -vqxE '\[#{50}\] 100%' \
    && fail "scrolled away: a bar line holds more than a full bar"
bars=$(lines_matching "$bar_pattern" | wc -l)
[ "$bars" -eq 3 ] || fail "scrolled away: $bars bar lines, expected 3 (the APP_HOME bar's first line, its new one, DATA_HOME's)"
last_error=$(lines_matching '^Error copying file: ' | tail -1)
sed -n "$((last_error + 1))p" "$HISTORY" | grep -qxE '\[#{50}\] 100%' \
    || fail "scrolled away: the new bar line is not right below the last error line"
sed -n "$((last_error + 2))p" "$HISTORY" | grep -qF "Error: APP_HOME was not completely created: 30 errors." \
    || fail "scrolled away: the copy's closing line is not right below the new bar line"

# ---- 40 columns: the bar wraps, all 57 characters of it
rm -rf "$DRIVE_C/XEPDB1"
install_in_console 40 25 narrow
full_bar=$(printf '[%s] 100%%' "$(printf '#%.0s' $(seq 50))")
count=$(grep -cxF -- "$full_bar" "$HISTORY" || true)
[ "$count" -eq 2 ] || fail "40 columns: $count whole bars, expected one per copy"
unwrapped="$SCRATCH/unjoined.txt"
tmux -L "$TMUX_SOCKET" capture-pane -p -t setup -S - > "$unwrapped"
grep -qxF -- "${full_bar:0:40}" "$unwrapped" || fail "40 columns: the bar's first row is not its first 40 characters"
grep -qxF -- "${full_bar:40}" "$unwrapped" || fail "40 columns: the bar's second row is not its last 17 characters"

pass "the bar keeps its line on scrolling consoles"
