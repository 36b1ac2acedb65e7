#!/usr/bin/env bash
# Drive C: is a read-only mount (root cannot write there either):
#  a1 with no APP_HOME folders, so they cannot be created;
#  a2 with the APP_HOME folders already there, so no file can be written.
# Every copy, script and the shortcut must be refused with its message, the
# summary must name every stage, nothing may be written and SQL*Plus must not
# start; exit status 1. A read-only file in an APP_HOME on an ordinary
# drive is checked by the fault-seam tests and the tree copy's tests.
set -u
source "$(dirname "$0")/lib.bash"

[ "$(id -u)" -eq 0 ] || skip "a read-only mount needs root"

start_scratch
snapshot "$SCRATCH/dist" >"$SCRATCH/source.before"
default_yes_input "$SCRATCH/input"
LOG="$SCRATCH/work/install.log"
ALL_STAGES="APP_HOME and DATA_HOME copy, set_env.sql, set_env.bat, auto_install.sql and database objects, desktop shortcut"

# Checks shared by a1 and a2: every script and the shortcut refused, the
# summary, nothing written, SQL*Plus not started, exit status 1.
check_nothing_written() {
    local what=$1 out=$2 i
    expect_status 1 "$what"
    for i in 0 1 2; do
        expect_no_output "$out" "${SCRIPT_CREATED[$i]}" "$what"
        expect_output "$out" "${SCRIPT_NOT_WRITTEN[$i]}" "$what"
        expect_log "$LOG" "${SCRIPT_NOT_WRITTEN[$i]}" "$what"
    done
    [ "$(count_lines "$out" "Error: Cannot open file for writing!")" -eq 3 ] ||
        fail "$what: expected 'Error: Cannot open file for writing!' once for each of the three scripts"
    expect_output "$out" "Error: SQL*Plus was not started because auto_install.sql is missing." "$what"
    [ ! -e "$SCRATCH/bin/sqlplus-ran" ] || fail "$what: SQL*Plus was started without auto_install.sql"
    expect_output "$out" "Error: No shortcut was created on the Desktop for QUARNDEL: C:\\XEPDB1\\QUARNDEL\\com\\startora.bat does not exist." "$what"
    expect_log "$LOG" "Error: No shortcut was created on the Desktop for QUARNDEL: C:\\XEPDB1\\QUARNDEL\\com\\startora.bat does not exist." "$what"
    expect_output "$out" "These stages failed: $ALL_STAGES. See install.log for details." "$what"
    expect_output "$out" "Installation finished with errors. Press RETURN to exit." "$what"
    expect_log "$LOG" "Installation completed with errors." "$what"
    expect_no_output "$out" "APP_HOME created." "$what"
    expect_no_output "$out" "DATA_HOME created." "$what"
    [ "$(find "$DRIVE" -type f | wc -l)" -eq 0 ] || fail "$what: files appeared on the read-only drive"
    check_unchanged "$SCRATCH/dist" "$SCRATCH/source.before"
}

DRIVE="$SCRATCH/ro"
mount_tmpfs "$DRIVE" 4m

# a1: nothing but the Desktop on the drive.
make_drive "$DRIVE"
mount -o remount,ro "$DRIVE" || fail "could not make $DRIVE read-only"
touch "$DRIVE/probe" 2>/dev/null && fail "test setup: $DRIVE is still writable"
OUT="$SCRATCH/a1.out"
run_setup "$DRIVE" "$SCRATCH/input" "$OUT"
expect_output "$OUT" "Error: Could not create directory $APP (Error Code: 5)" "a1"
expect_log "$LOG" "Error: Could not create directory $APP" "a1"
expect_output "$OUT" "Error: Could not create directory $APP\\data (Error Code: 5)" "a1"
expect_log "$LOG" "Error: Could not create directory $APP\\data" "a1"
expect_output "$OUT" "Error: APP_HOME was not completely created: 1 errors. See install.log for details." "a1"
expect_output "$OUT" "Error: DATA_HOME was not completely created: 1 errors. See install.log for details." "a1"
check_error_count "$LOG" APP_HOME
check_error_count "$LOG" DATA_HOME
expect_no_log "$LOG" "Copied file: " "a1"
[ ! -e "$DRIVE/XEPDB1" ] || fail "a1: a folder appeared on the read-only drive"
check_nothing_written a1 "$OUT"

# a2: the APP_HOME folders exist, the drive is read-only.
rm -f "$LOG"
mount -o remount,rw "$DRIVE"
(cd "$SCRATCH/dist" && find . -type d -exec mkdir -p "$DRIVE/XEPDB1/QUARNDEL/{}" \;)
mount -o remount,ro "$DRIVE"
OUT="$SCRATCH/a2.out"
run_setup "$DRIVE" "$SCRATCH/input" "$OUT"
expect_no_output "$OUT" "Error: Could not create directory" "a2"
files=$(cd "$SCRATCH/dist" && find . -type f | wc -l)
data_files=$(cd "$SCRATCH/dist/data" && find . -type f | wc -l)
while IFS= read -r -d '' file; do
    line="Error copying file: $SRC\\${file//\//\\} -> $APP\\${file//\//\\}"
    expect_output "$OUT" "$line" "a2"
    expect_log "$LOG" "$line" "a2"
done < <(cd "$SCRATCH/dist" && find . -type f -printf '%P\0')
expect_output "$OUT" "Error: APP_HOME was not completely created: $files errors." "a2"
expect_output "$OUT" "Error: DATA_HOME was not completely created: $data_files errors." "a2"
check_error_count "$LOG" APP_HOME
check_error_count "$LOG" DATA_HOME
check_nothing_written a2 "$OUT"

pass "read-only drive: (a1) no folder could be created, (a2) no file could be written; exit 1"
