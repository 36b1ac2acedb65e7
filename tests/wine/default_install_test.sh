#!/usr/bin/env bash
# build/win32/setup.exe or build/win64/setup.exe (the first argument) under
# Wine in a real console (tmux): a default
# install answered at the keyboard, then what it left behind, checked with
# tools independent of the program (Wine's cmd, lnkinfo).
set -euo pipefail
source "$(dirname "$0")/common.sh"
use_build "${1:-}"

start_scratch
install_in_console_up_to_sqlplus
type_line "Owner-Secret-1"
wait_for_text "Enter the password for the database connection user DEMO_CONNECT:"
type_line "Connect-Secret-2"
wait_for_text "Enter SYS password:"
type_line "Sys-Secret-3"
wait_for_text "Press RETURN to exit." 120
screen_text > "$SCRATCH/screen.txt"
screen_with_colours > "$SCRATCH/screen-colours.txt"
# Keep the picture's source when asked (the README's screen comes from here).
[ -z "${SCREEN_CAPTURE:-}" ] || cp "$SCRATCH/screen-colours.txt" "$SCREEN_CAPTURE"
type_line ""
status=$(wait_for_exit)
[ "$status" = 0 ] || fail "exit status $status, expected 0"

SCREEN="$SCRATCH/screen.txt"
DIST_WIN=$(windows_path "$DIST")
grep -qxF "Creating APP_HOME. Copying files from $DIST_WIN to C:\\XEPDB1\\QUARNDEL..." "$SCREEN" \
    || fail "no APP_HOME copy message"
# The bar: two rows below the message, 50 green cells, 100 %.
bar_line=$(grep -n -E '^\[#{50}\] 100%' "$SCREEN" | head -1 | cut -d: -f1)
message_line=$(grep -n -F "Creating APP_HOME." "$SCREEN" | head -1 | cut -d: -f1)
[ -n "$bar_line" ] || fail "no full bar on the screen"
[ $((bar_line - message_line)) -eq 3 ] || fail "the bar is $((bar_line - message_line)) rows below the message, expected 3 (row + 2 below the cursor)"
data_message=$(grep -n -F "Creating DATA_HOME." "$SCREEN" | head -1 | cut -d: -f1)
sed -n "$((data_message + 3))p" "$SCREEN" | grep -qE '^\[#{50}\] 100%' || fail "the DATA_HOME bar is not on its own row"
grep -E '^\[' "$SCRATCH/screen-colours.txt" | head -1 | grep -qF $'\e[32m#' || fail "the bar's cells are not green"
for line in "APP_HOME created." "DATA_HOME created." "SQL script set_env.sql created." "Script set_env.bat created." \
            "SQL Script auto_install.sql created." "Creating database objects." \
            "Executing: sqlplus / as sysdba @\"C:\\XEPDB1\\QUARNDEL\\install\\auto_install.sql\"" \
            "Shortcut created on Desktop: QUARNDEL.lnk" "INSTALLATION SUMMARY:" \
            "Application Home  : C:\\XEPDB1\\QUARNDEL" "Data Home         : C:\\XEPDB1\\QUARNDEL\\data" \
            "Installation complete. Press RETURN to exit."; do
    grep -qxF "$line" "$SCREEN" || fail "missing on the screen: $line"
done

# install.log: CR LF, header first, every main event in order.
LOG="$WORK/install.log"
[ -f "$LOG" ] || fail "no install.log in the working folder"
[ ! -f "$DIST/install.log" ] || fail "install.log beside the executable"
head -c 34 "$LOG" | cmp -s - <(printf 'ORACLE QUARNDEL INSTALLATION LOG\r\n') || fail "log header"
if tr -d '\r' < "$LOG" | grep -c '' | grep -q "^$(grep -c $'\r$' "$LOG")$"; then :; else fail "log lines without CR LF"; fi
grep -v '^Copied file: ' "$LOG" > "$SCRATCH/log-events"
expected_events=(
    "ORACLE QUARNDEL INSTALLATION LOG" "Setup started from directory: $DIST_WIN" \
    "Source files extracted to: $DIST_WIN" "DBSERVICE = XEPDB1" "Listener port = 1521" \
    "Database connection string = //localhost:1521/XEPDB1" "APP_OWNER = QUARNDEL" "CONNECT_USER = DEMO_CONNECT" \
    'APP_HOME directory = C:\XEPDB1\QUARNDEL' 'SQL_APP_HOME directory = C:\\XEPDB1\\QUARNDEL' \
    'DATA_HOME directory = C:\XEPDB1\QUARNDEL\data' 'SQL_DATA_HOME directory = C:\\XEPDB1\\QUARNDEL\\data' \
    "User confirmed installation to continue." "APP_HOME created." "DATA_HOME created." \
    "SQL script set_env.sql created." "Script set_env.bat created." "SQL script auto_install.sql created." \
    'Executing: sqlplus / as sysdba @"C:\XEPDB1\QUARNDEL\install\auto_install.sql"' "Database objects created." \
    "Shortcut created on Desktop: QUARNDEL.lnk" "" "" "INSTALLATION SUMMARY:" "" "=====================" "" \
    "Database Service  : XEPDB1" "" "Application Owner : QUARNDEL" "" "Connection User   : DEMO_CONNECT" "" \
    'Application Home  : C:\XEPDB1\QUARNDEL' "" 'Data Home         : C:\XEPDB1\QUARNDEL\data' "" \
    "Setup Log         : install.log" "" "Installation completed.")
cmp -s "$SCRATCH/log-events" <(printf '%s\r\n' "${expected_events[@]}") || {
    diff <(cat -A "$SCRATCH/log-events") <(printf '%s\r\n' "${expected_events[@]}" | cat -A) >&2 || true
    fail "install.log events differ"
}
source_files=$(cd "$DIST" && find . -type f ! -name install.log | wc -l)
data_files=$(cd "$DIST/data" && find . -type f | wc -l)
copied=$(grep -c '^Copied file: ' "$LOG")
[ "$copied" -eq $((source_files + data_files)) ] || fail "$copied Copied file entries, expected $((source_files + data_files))"

# The copied tree, byte for byte.
HOME_HOST="$DRIVE_C/XEPDB1/QUARNDEL"
(cd "$DIST" && find . -type f -exec cmp -s {} "$HOME_HOST/{}" \; -print) | wc -l | grep -qx "$source_files" \
    || fail "the copied tree differs from the distribution"

# The generated scripts, byte for byte as expected for the default answers.
for script in config/set_env.sql config/set_env.bat install/auto_install.sql; do
    cmp -s "$HOME_HOST/$script" "$ROOT/tests/golden/$(basename "$script")" || fail "$script differs from tests/golden"
done

# The shortcut, read by lnkinfo.
LINK=$(ls "$DRIVE_C"/users/*/Desktop/QUARNDEL.lnk 2>/dev/null | head -1)
[ -n "$LINK" ] || fail "no QUARNDEL.lnk on the desktop"
lnkinfo "$LINK" > "$SCRATCH/lnkinfo.txt" || fail "lnkinfo cannot read the link"
grep -qE 'Local path[[:space:]]*: C:\\XEPDB1\\QUARNDEL\\com\\startora\.bat$' "$SCRATCH/lnkinfo.txt" || fail "link target: $(cat "$SCRATCH/lnkinfo.txt")"
grep -qE 'Working directory[[:space:]]*: C:\\XEPDB1\\QUARNDEL\\com$' "$SCRATCH/lnkinfo.txt" || fail "link working directory"
grep -qE 'Description[[:space:]]*: Start Oracle Application$' "$SCRATCH/lnkinfo.txt" || fail "link description"

# SQL*Plus ran set_env first, then the four scripts with their arguments.
TRANSCRIPT="$WORK/sqlplus-transcript.log"
[ -f "$TRANSCRIPT" ] || fail "the stand-in SQL*Plus left no transcript"
"$ROOT/tests/wine/check_transcript.sh" "$TRANSCRIPT" || fail "SQL*Plus transcript"

# No password in any file the run wrote.
if grep -rlaE 'Owner-Secret-1|Connect-Secret-2|Sys-Secret-3' "$HOME_HOST" "$WORK" "$DRIVE_C/users" 2>/dev/null; then
    fail "a password was written to a file"
fi

# set_env.bat under Wine's cmd sets exactly its variables.
"$ROOT/tests/wine/check_set_env_bat.sh" 'C:\XEPDB1\QUARNDEL\config\set_env.bat' || fail "set_env.bat"

pass "default install under Wine"
