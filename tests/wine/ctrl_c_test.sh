#!/usr/bin/env bash
# build/win32/setup.exe or build/win64/setup.exe (the first argument) under
# Wine in a console (tmux): Ctrl+C at a question ends the program with a
# closing entry in install.log; Ctrl+C typed while the stand-in SQL*Plus asks for
# a password ends SQL*Plus, not the setup: the run goes on to the shortcut,
# the summary and exit status 1, and the log is complete. Skipped, after
# checking, where Wine does not deliver the console's Ctrl+C to the
# programs, and after every other check where Wine's console then passes the
# final RETURN to nobody (Wine 8 does so: the ended program's read keeps it).
# sqlplus missing from PATH has a test of its own, sqlplus_missing_test.sh.
set -euo pipefail
source "$(dirname "$0")/common.sh"
use_build "${1:-}"

start_scratch
make_wine_distribution
# First, Ctrl+C at a question: the program ends, and install.log ends with
# the closing entry.
mkdir -p "$SCRATCH/prompt"
start_console "$SCRATCH/prompt" "'$WINE' '$DIST/setup.exe'"
wait_for_text "${PROMPT_TEXTS[0]}" 90
tmux -L "$TMUX_SOCKET" send-keys -t setup C-c
for _ in $(seq 1 $((60 * WAIT_SCALE))); do [ -s "$SCRATCH/exit-status" ] && break; sleep 0.5; done
CLOSING_ENTRY="Installation interrupted by Ctrl+C or Ctrl+Break."
# The loader passes on the low byte of the Windows exit status: 58 for
# STATUS_CONTROL_C_EXIT (0xC000013A), the status of Windows' default handler.
BREAK_STATUS=58
# check_break_status STATUS WHEN: the status of a run Ctrl+C ended. Under
# qemu the 32-bit loader ends with 1 (at times after "stack smashing
# detected") once the program has ended itself from Wine's break thread:
# there any failing status is taken, and said.
# STATUS_SAID says which it was.
check_break_status() {
    STATUS_SAID="status 0xC000013A"
    [ "$1" = $BREAK_STATUS ] && return 0
    if [ "$CODE_RUNS" = emulated ] && [ "$1" != 0 ]; then
        echo "note: Ctrl+C $2: status $1, not $BREAK_STATUS: the emulated Wine loader does not pass the program's status on from its break thread"
        STATUS_SAID="a failing status (emulated: $1)"
        return 0
    fi
    fail "Ctrl+C $2 ended the program with status $1, expected $BREAK_STATUS"
}
if [ -s "$SCRATCH/exit-status" ]; then
    [ "$(tr -d '\r' < "$SCRATCH/prompt/install.log" | tail -1)" = "$CLOSING_ENTRY" ] \
        || fail "Ctrl+C at a question left no closing entry in install.log"
    check_break_status "$(cat "$SCRATCH/exit-status")" "at a question"
    echo "checked: Ctrl+C at a question leaves its closing entry and $STATUS_SAID ($BUILD)"
    prompt_checked=yes
else
    prompt_checked=no
fi
tmux -L "$TMUX_SOCKET" kill-session -t setup
rm -f "$SCRATCH/exit-status"
[ "$prompt_checked" = yes ] || skip "Wine did not deliver the console's Ctrl+C at a question"
# Under qemu a Ctrl+C that lands while the 32-bit Wine process is busy can
# kill it in Wine's own client code ("wine client error: ... Bad file
# descriptor") before the program's handler runs: the break during the copy
# and during SQL*Plus are left to win64 there.
[ "$CODE_RUNS" = native ] ||
    pass "Ctrl+C at a question ends the program with $STATUS_SAID, the closing entry last (during the copy and SQL*Plus: win64, as 32-bit code is emulated here)"

# Ctrl+C during the copy of a distribution with many files: the same
# status, and no "Copied file" entry after the closing one.
mkdir -p "$SCRATCH/copy" "$DIST/data/bulk"
for i in $(seq 1 1500); do echo "$i" > "$DIST/data/bulk/f$i.txt"; done
start_console "$SCRATCH/copy" "'$WINE' '$DIST/setup.exe'"
answer_defaults_and_confirm
wait_for_text "Creating APP_HOME." 60
# The break goes once the first file is logged as copied.
for ((i = 0; i < 600 * WAIT_SCALE; i++)); do
    grep -qa '^Copied file: ' "$SCRATCH/copy/install.log" 2>/dev/null && break
    sleep 0.1
done
tmux -L "$TMUX_SOCKET" send-keys -t setup C-c
status=$(wait_for_exit 60)
tr -d '\r' < "$SCRATCH/copy/install.log" > "$SCRATCH/copy-log.txt"
grep -q '^Copied file: ' "$SCRATCH/copy-log.txt" || fail "the break came before the copy began"
if grep -qxF "DATA_HOME created." "$SCRATCH/copy-log.txt"; then fail "the break came after the copy"; fi
[ "$(tail -1 "$SCRATCH/copy-log.txt")" = "$CLOSING_ENTRY" ] \
    || fail "an entry follows the closing one: $(tail -1 "$SCRATCH/copy-log.txt")"
check_break_status "$status" "during the copy"
echo "checked: Ctrl+C during the copy ends it with $STATUS_SAID, its closing entry last ($BUILD)"
tmux -L "$TMUX_SOCKET" kill-session -t setup
rm -f "$SCRATCH/exit-status"
rm -rf "$DIST/data/bulk" "$DRIVE_C/XEPDB1"

mkdir -p "$SCRATCH/bin"
cp "$SQLPLUS_EXE" "$SCRATCH/bin/"
start_console "$WORK" "WINEPATH='$(windows_path "$SCRATCH/bin")' '$WINE' '$DIST/setup.exe'"
answer_defaults_and_confirm
wait_for_text "Enter the password for QUARNDEL:" 120
sleep 1
tmux -L "$TMUX_SOCKET" send-keys -t setup C-c

# Either the run goes on to its summary, or the program ended, or nothing
# happened at all (Wine kept the Ctrl+C to itself).
outcome=none
for _ in $(seq 1 $((60 * WAIT_SCALE))); do
    if screen_text | grep -qF "Press RETURN to exit."; then outcome=summary; break; fi
    if [ -s "$SCRATCH/exit-status" ]; then outcome=ended; break; fi
    sleep 0.5
done
case "$outcome" in
    ended) fail "Ctrl+C during SQL*Plus ended the setup program (exit status $(cat "$SCRATCH/exit-status"))" ;;
    none)
        # Still at the prompt? Then the Ctrl+C never reached the programs.
        screen_text | tail -5 | grep -qF "Enter the password for QUARNDEL:" \
            || fail "after Ctrl+C neither the summary nor SQL*Plus's prompt is on the screen"
        skip "Wine did not deliver the console's Ctrl+C to the programs (SQL*Plus still waits at its prompt)" ;;
esac

SCREEN="$SCRATCH/screen.txt"
screen_text > "$SCREEN"
grep -qE 'Error: SQL\*Plus was interrupted by Ctrl\+C or Ctrl\+Break \(exit status [^)]*\)\. The database objects may not have been created\.$' "$SCREEN" \
    || fail "SQL*Plus's stop is not reported as a failure"
grep -qxF "Shortcut created on Desktop: QUARNDEL.lnk" "$SCREEN" || fail "the shortcut stage did not run after SQL*Plus"
grep -qxF "These stages failed: auto_install.sql and database objects. See install.log for details." "$SCREEN" \
    || fail "the summary does not name the failed stage"
# The run's record so far: the failure, the shortcut, the summary and the
# closing entry (written before the final wait), each entry whole.
LOG="$SCRATCH/work/install.log"
SUMMARY_END="These stages failed: auto_install.sql and database objects. See the entries above for details."
CLOSING="Installation completed with errors."
for _ in $(seq 1 20); do
    [ "$(tr -d '\r' < "$LOG" | tail -1)" = "$CLOSING" ] && break
    sleep 0.5
done
tr -d '\r' < "$LOG" > "$SCRATCH/log.txt"
grep -q '^Error: SQL\*Plus was interrupted by Ctrl+C or Ctrl+Break (exit status ' "$SCRATCH/log.txt" || fail "the failure is not logged"
if grep -qxF "Database objects created." "$SCRATCH/log.txt"; then fail "the log says the objects were created"; fi
grep -qxF "Shortcut created on Desktop: QUARNDEL.lnk" "$SCRATCH/log.txt" || fail "the shortcut is not logged"
[ "$(tail -2 "$SCRATCH/log.txt" | head -1)" = "$SUMMARY_END" ] || fail "the summary is not the log's last but one entry"
[ "$(tail -1 "$SCRATCH/log.txt")" = "$CLOSING" ] || fail "the log does not end with the closing entry"
[ "$(tail -c 2 "$LOG" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "the log's last entry is cut"
echo "checked: Ctrl+C during SQL*Plus ends SQL*Plus only ($BUILD)"

# RETURN ends the run with exit status 1. Wine's console passes no more
# input once Ctrl+C has ended a program that was reading (the dead read
# keeps the input), so this last step may not be possible here.
type_line ""
for _ in $(seq 1 20); do
    [ -s "$SCRATCH/exit-status" ] && break
    sleep 0.5
done
if [ ! -s "$SCRATCH/exit-status" ]; then
    skip "the final RETURN and the exit status were not checked: Wine's console passed no input to the program after Ctrl+C ended SQL*Plus at its prompt"
fi
status=$(cat "$SCRATCH/exit-status")
[ "$status" = 1 ] || fail "exit status $status, expected 1"
[ "$(tr -d '\r' < "$LOG" | tail -1)" = "$CLOSING" ] || fail "the log does not end with the run's end"
pass "Ctrl+C during SQL*Plus ends SQL*Plus only; RETURN after the summary ends the run with exit status 1"
