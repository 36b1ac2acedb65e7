#!/usr/bin/env bash
# Read-only destinations.
#  (a) Drive C: is a read-only mount (root cannot write there either):
#      a1 with no APP_HOME folders, so they cannot be created;
#      a2 with the APP_HOME folders already there, so no file can be written.
#  (b) One read-only file left in APP_HOME by an earlier run: it is refused
#      and left as it is, every other file is still copied and the scripts written.
set -u
source "$(dirname "$0")/lib.bash"

start_scratch
make_distribution "$SCRATCH/dist"
snapshot "$SCRATCH/dist" >"$SCRATCH/source.before"
SRC=$(windows_path "$SCRATCH/dist")
APP='C:\XEPDB1\QUARNDEL'
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
    expect_output "$out" "Error: Could not save the shortcut C:\\users\\$RUN_USER\\Desktop\\QUARNDEL.lnk (Error Code: 0x5)" "$what"
    expect_log "$LOG" "Error: No shortcut was created on the Desktop for QUARNDEL." "$what"
    expect_output "$out" "These stages failed: $ALL_STAGES. See install.log for details." "$what"
    expect_output "$out" "Installation finished with errors. Press RETURN to exit." "$what"
    expect_log "$LOG" "Installation completed with errors." "$what"
    expect_no_output "$out" "APP_HOME created." "$what"
    expect_no_output "$out" "DATA_HOME created." "$what"
    [ "$(find "$DRIVE" -type f | wc -l)" -eq 0 ] || fail "$what: files appeared on the read-only drive"
    check_unchanged "$SCRATCH/dist" "$SCRATCH/source.before"
}

if [ "$(id -u)" -eq 0 ]; then
    DRIVE="$SCRATCH/ro"
    mkdir "$DRIVE"
    mount -t tmpfs -o size=4m,mode=0755 setup-fault-ro "$DRIVE" || fail "could not mount a tmpfs on $DRIVE"
    on_exit "umount '$DRIVE'"

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
    RO_DONE="(a1) no folder could be created, (a2) no file could be written; "
else
    RO_DONE="(a) skipped: a read-only mount needs root; "
fi

# b: an earlier run, then a read-only startora.bat with content of its own,
# one file removed and one changed in APP_HOME; then the same run again.
DRIVE="$SCRATCH/c"
make_drive "$DRIVE"
rm -f "$LOG" "$SCRATCH/bin/sqlplus-ran"
OUT="$SCRATCH/b1.out"
run_setup "$DRIVE" "$SCRATCH/input" "$OUT"
expect_status 0 "b: first run"
HOME_DIR="$DRIVE/XEPDB1/QUARNDEL"
KEPT_FILE="$HOME_DIR/com/startora.bat"
printf 'REM kept from the earlier installation\r\n' >"$KEPT_FILE"
chmod 0444 "$KEPT_FILE"
cp -p "$KEPT_FILE" "$SCRATCH/kept.before"
rm "$HOME_DIR/config/README.txt"
echo "changed since" >>"$HOME_DIR/install/seed_data.sql"
rm -f "$LOG" "$SCRATCH/bin/sqlplus-ran"

OUT="$SCRATCH/b2.out"
run_setup "$DRIVE" "$SCRATCH/input" "$OUT"
expect_status 1 "b"
line="Error copying file: $SRC\\com\\startora.bat -> $APP\\com\\startora.bat"
expect_output "$OUT" "$line" "b"
expect_log "$LOG" "$line" "b"
[ "$(count_lines "$LOG" "Error copying file: ")" -eq 1 ] || fail "b: only startora.bat should fail to copy"
cmp -s "$KEPT_FILE" "$SCRATCH/kept.before" || fail "b: the read-only startora.bat was changed"
[ "$(stat -c %a "$KEPT_FILE")" = 444 ] || fail "b: the read-only startora.bat lost its mode"
check_copy_entries "$LOG" "$DRIVE"
(cd "$SCRATCH/dist" && find . -type f ! -path ./com/startora.bat -printf '%P\0') |
    while IFS= read -r -d '' file; do
        cmp -s "$SCRATCH/dist/$file" "$HOME_DIR/$file" || { echo "$file" >"$SCRATCH/b.missing"; break; }
    done
[ ! -e "$SCRATCH/b.missing" ] || fail "b: $(cat "$SCRATCH/b.missing") was not copied again"
expect_output "$OUT" "Error: APP_HOME was not completely created: 1 errors. See install.log for details." "b"
check_error_count "$LOG" APP_HOME
expect_output "$OUT" "DATA_HOME created." "b"
for i in 0 1 2; do
    expect_output "$OUT" "${SCRIPT_CREATED[$i]}" "b"
    [ -s "$HOME_DIR/${SCRIPT_FILES[$i]}" ] || fail "b: ${SCRIPT_FILES[$i]} is missing"
done
[ -e "$SCRATCH/bin/sqlplus-ran" ] || fail "b: SQL*Plus was not started"
expect_output "$OUT" "These stages failed: APP_HOME and DATA_HOME copy. See install.log for details." "b"
expect_output "$OUT" "Installation finished with errors. Press RETURN to exit." "b"
check_unchanged "$SCRATCH/dist" "$SCRATCH/source.before"

pass "${RO_DONE}(b) a read-only file is refused and kept, the rest copied; exit 1"
