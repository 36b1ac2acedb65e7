#!/usr/bin/env bash
# Drive C: is a 4 MB tmpfs with room for 150 files and folders. The
# distribution's pages fit in it, so the directory prompts take the drive,
# but its files do not: a 1 MB file and 200 small files use up every file
# entry the drive has, as a full disk would. The
# copy must fail file by file without leaving partial copies, the scripts and
# the shortcut must fail cleanly (never "created", never half written), and
# the run must reach its summary with exit status 1.
set -u
source "$(dirname "$0")/lib.bash"

[ "$(id -u)" -eq 0 ] || skip "mounting a tmpfs needs root"

start_scratch
head -c $((1024 * 1024)) /dev/urandom >"$SCRATCH/dist/big.bin"
mkdir "$SCRATCH/dist/filler"
head -c $((200 * 100)) /dev/urandom | (cd "$SCRATCH/dist/filler" && split -b 100 -a 3 -d - page)
snapshot "$SCRATCH/dist" >"$SCRATCH/source.before"

# The scripts as written on an ordinary disk, to compare with.
reference_run "$SCRATCH/ref"
rm -f "$SCRATCH/bin/sqlplus-ran"
check_unchanged "$SCRATCH/dist" "$SCRATCH/source.before"

DRIVE="$SCRATCH/c"
mount_tmpfs "$DRIVE" 4m nr_inodes=150
make_drive "$DRIVE"

default_yes_input "$SCRATCH/input"
OUT="$SCRATCH/output"
LOG="$SCRATCH/work/install.log"
run_setup "$DRIVE" "$SCRATCH/input" "$OUT"

# The fault really happened: the drive is full after the run. Nothing frees
# space after the copy, so it was full when the scripts were written.
available=$(df --output=iavail "$DRIVE" | tail -1 | tr -d ' ')
[ "$available" -eq 0 ] || fail "test setup: drive C: still has room for $available files after the run"

expect_status 1
check_unchanged "$SCRATCH/dist" "$SCRATCH/source.before"
expect_no_output "$OUT" "ERROR: Not enough free space"

# Every copy entry tells the truth about the file on the drive.
check_copy_entries "$LOG" "$DRIVE"
[ "$FAILED_ENTRIES" -gt 1 ] || fail "expected many failed copies on the full drive, got $FAILED_ENTRIES"
[ "$COPIED_ENTRIES" -gt 0 ] || fail "expected some files to be copied before the drive filled up"
[ "$(count_lines "$OUT" "Error copying file: ")" -eq "$FAILED_ENTRIES" ] ||
    fail "the console shows $(count_lines "$OUT" "Error copying file: ") failed copies, install.log $FAILED_ENTRIES"
check_error_count "$LOG" APP_HOME
expect_output "$OUT" "Error: APP_HOME was not completely created: $ERROR_COUNT errors. See install.log for details."
expect_no_output "$OUT" "APP_HOME created."

# The scripts: each either failed with a clear message and left no file, or
# was written completely and is the same as on an ordinary disk.
failed_stages=("APP_HOME and DATA_HOME copy")
script_failures=0
for i in 0 1 2; do
    file=${SCRIPT_FILES[$i]}
    host="$DRIVE/XEPDB1/QUARNDEL/$file"
    if grep -qaF "${SCRIPT_NOT_WRITTEN[$i]}" "$OUT"; then
        script_failures=$((script_failures + 1))
        expect_no_output "$OUT" "${SCRIPT_CREATED[$i]}"
        expect_log "$LOG" "${SCRIPT_NOT_WRITTEN[$i]}"
        win="$APP\\${file//\//\\}"
        grep -qaFx -e "Error: Could not write $win completely (is the disk full?). The file was removed." \
            -e "Error: Cannot open file for writing!" "$OUT" ||
            fail "no message tells why $file could not be written"
        [ ! -e "$host" ] || fail "$file failed, but a file was left at $host ($(stat -c %s "$host") bytes)"
        if [ "$i" -eq 2 ]; then failed_stages+=("auto_install.sql and database objects"); else failed_stages+=("${SCRIPT_STAGE_NAMES[$i]}"); fi
    else
        expect_output "$OUT" "${SCRIPT_CREATED[$i]}"
        cmp -s "$host" "$SCRATCH/ref/c/XEPDB1/QUARNDEL/$file" || fail "$file was reported created but is not complete"
    fi
done
[ "$script_failures" -gt 0 ] || fail "no script failed although the drive was full"

# SQL*Plus is only started on a complete auto_install.sql.
if [ -e "$DRIVE/XEPDB1/QUARNDEL/install/auto_install.sql" ]; then
    [ -e "$SCRATCH/bin/sqlplus-ran" ] || fail "auto_install.sql was written but SQL*Plus was not started"
else
    [ ! -e "$SCRATCH/bin/sqlplus-ran" ] || fail "SQL*Plus was started without auto_install.sql"
    expect_output "$OUT" "Error: SQL*Plus was not started because auto_install.sql is missing."
fi

# startora.bat did not arrive on the full drive: no shortcut, and no piece of one.
expect_output "$OUT" "Error: No shortcut was created on the Desktop for QUARNDEL: C:\\XEPDB1\\QUARNDEL\\com\\startora.bat does not exist."
expect_log "$LOG" "Error: No shortcut was created on the Desktop for QUARNDEL: C:\\XEPDB1\\QUARNDEL\\com\\startora.bat does not exist."
[ -z "$(ls -A "$DRIVE/users/$RUN_USER/Desktop")" ] || fail "the Desktop holds a partial shortcut: $(ls -A "$DRIVE/users/$RUN_USER/Desktop")"
failed_stages+=("desktop shortcut")

# The summary names exactly the failed stages.
list=$(IFS=,; echo "${failed_stages[*]}" | sed 's/,/, /g')
expect_output "$OUT" "These stages failed: $list. See install.log for details."
expect_output "$OUT" "Installation finished with errors. Press RETURN to exit."
expect_no_output "$OUT" "Installation complete."
expect_log "$LOG" "These stages failed: $list. See the entries above for details."
expect_log "$LOG" "Installation completed with errors."

pass "full drive: $FAILED_ENTRIES failed copies, $script_failures scripts refused, no partial files, exit 1"
