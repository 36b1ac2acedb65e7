#!/usr/bin/env bash
# Names with letters beyond ASCII typed at the console: build/win32 or
# build/win64 (the first argument) under Wine in a UTF-8 tmux console. The
# console hands typed text over in its own code page (437 here) while the
# file calls read names in the ANSI code page (1252); the program has the
# console use the ANSI code page while it runs and gives the console its
# own back when it ends, completed or abandoned (cmd's chcp, run in the
# same console before and after, shows it).
set -euo pipefail
source "$(dirname "$0")/common.sh"
use_build "${1:-}"
export LANG=C.UTF-8  # tmux and Wine's console in UTF-8
start_scratch
make_wine_distribution
mkdir -p "$DRIVE_C/Café"
DIST_WIN=$(windows_path "$DIST")

# Runs setup between two chcp in one cmd, answers the prompts with the
# application directory given, then the confirmation.
run_between_chcp() {
    local app_directory=$1 confirmation=$2
    tmux -L "$TMUX_SOCKET" kill-server 2>/dev/null || true
    rm -f "$SCRATCH/exit-status"
    start_console "$WORK" "'$WINE' cmd /c 'chcp & $DIST_WIN\\setup.exe & chcp'"
    wait_for_text "Active code page:" 60
    answer_defaults_and_confirm "app installation directory=$app_directory" "(Y or N)=$confirmation"
}

# Waits for chcp's second line, after the program.
wait_for_second_chcp() {
    local waited=0
    while [ "$(screen_text | grep -c '^Active code page:')" -lt 2 ]; do
        sleep 0.5
        waited=$((waited + 1))
        [ $waited -lt 60 ] || fail "no chcp after the program"
    done
}

# The code page chcp showed before the program and the one after.
check_code_page_restored() {
    local pages
    pages=$(screen_text | grep -oE '^Active code page: [0-9]+' | awk '{print $4}')
    [ "$(echo "$pages" | wc -l)" -eq 2 ] || fail "$1: expected two chcp lines, got: $pages"
    [ "$(echo "$pages" | head -1)" = "$(echo "$pages" | tail -1)" ] \
        || fail "$1: the console's code page went from $(echo "$pages" | head -1) to $(echo "$pages" | tail -1)"
    [ "$(echo "$pages" | head -1)" != 1252 ] || skip "the console already uses the ANSI code page; nothing to tell apart"
}

# ---- an existing folder C:\Café is accepted and APP_HOME is made in it
run_between_chcp 'C:\Café' Y
wait_for_text "to exit." 180
screen_text > "$SCRATCH/screen.txt"
type_line ""
wait_for_exit >/dev/null
wait_for_second_chcp
screen_text > "$SCRATCH/screen.txt"
grep -qF "Directory does not exist" "$SCRATCH/screen.txt" && fail "C:\\Café was refused"
grep -qxF 'APP_HOME directory = C:\Café\XEPDB1\QUARNDEL' "$SCRATCH/screen.txt" \
    || fail "the echo does not show C:\\Café\\XEPDB1\\QUARNDEL"
grep -qxF 'SQL_APP_HOME directory = C:\\Café\\XEPDB1\\QUARNDEL' "$SCRATCH/screen.txt" \
    || fail "the echo does not show the SQL form under C:\\Café"
grep -qxF 'APP_HOME created.' "$SCRATCH/screen.txt" || fail "APP_HOME was not created"
[ -f "$DRIVE_C/Café/XEPDB1/QUARNDEL/config/set_env.sql" ] || fail "no set_env.sql under C:\\Café\\XEPDB1\\QUARNDEL"
[ -f "$DRIVE_C/Café/XEPDB1/QUARNDEL/setup.exe" ] || fail "the distribution was not copied under C:\\Café"
check_code_page_restored "completed run"
# The log holds the name in the ANSI code page: é is 0xE9 there.
grep -qaF "$(printf 'APP_HOME directory = C:\\Caf\xe9\\XEPDB1\\QUARNDEL')" "$WORK/install.log" \
    || fail "install.log does not name C:\\Café in the ANSI code page"

# ---- abandoned at the confirmation
run_between_chcp 'C:\Café' N
wait_for_text "Installation abandoned."
wait_for_exit >/dev/null
wait_for_second_chcp
check_code_page_restored "abandoned run"

pass "the console uses the ANSI code page while the program runs"
