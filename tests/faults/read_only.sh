#!/usr/bin/env bash
# A read-only file left in APP_HOME by an earlier run: it is refused and
# left as it is, every other file is still copied and the scripts written;
# exit status 1. A read-only drive (which needs root) is read_only_mount.sh.
set -u
source "$(dirname "$0")/lib.bash"

start_scratch
snapshot "$SCRATCH/dist" >"$SCRATCH/source.before"
default_yes_input "$SCRATCH/input"
LOG="$SCRATCH/work/install.log"

# b: an earlier run, then a read-only startora.bat with content of its own,
# one file removed and one changed in APP_HOME; then the same run again.
DRIVE="$SCRATCH/c"
make_drive "$DRIVE"
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

pass "a read-only file is refused and kept, the rest copied; exit 1"
