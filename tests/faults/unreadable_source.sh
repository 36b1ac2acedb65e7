#!/usr/bin/env bash
# Parts of the distribution cannot be read. A file in install\ and a file in
# data\: each must be reported as a copy error, every other file copied, the
# scripts written, and the run must end with exit status 1. A whole folder:
# the distribution cannot be measured, so the run is abandoned before the
# first question (exit status 255) and nothing is copied. Root reads
# everything, so as root the program runs as the unprivileged user nobody.
set -u
source "$(dirname "$0")/lib.bash"

start_scratch
mkdir "$SCRATCH/dist/secret"
echo "not for this user" >"$SCRATCH/dist/secret/key.txt"
echo "id,name" >"$SCRATCH/dist/data/private.csv"
snapshot "$SCRATCH/dist" >"$SCRATCH/source.before"
UNREADABLE=("$SCRATCH/dist/install/seed_data.sql" "$SCRATCH/dist/data/private.csv")
chmod 000 "${UNREADABLE[@]}"

if [ "$(id -u)" -eq 0 ]; then
    RUN_USER=nobody
    RUN_HOME=/
    RUN_AS=(setpriv --reuid=65534 --regid=65534 --clear-groups --reset-env)
    PATH=/usr/local/bin:/usr/bin:/bin
fi
DRIVE="$SCRATCH/c"
make_drive "$DRIVE"
chmod -R a+rwx "$DRIVE" "$SCRATCH/work" "$SCRATCH/bin"
# The sticky bit: a drive root where anyone may remove what others made is refused.
chmod +t "$DRIVE"
chmod a+rx "$SCRATCH/bin/sqlplus"

# The fault is real: this user cannot read them.
if [ "$(id -u)" -eq 0 ]; then
    for path in "${UNREADABLE[@]}"; do
        setpriv --reuid=65534 --regid=65534 --clear-groups test -r "$path" && fail "test setup: nobody can read $path"
    done
    setpriv --reuid=65534 --regid=65534 --clear-groups test -x "$SCRATCH/dist/setup" ||
        fail "test setup: nobody cannot run $SCRATCH/dist/setup"
fi

default_yes_input "$SCRATCH/input"
OUT="$SCRATCH/output"
LOG="$SCRATCH/work/install.log"
run_setup "$DRIVE" "$SCRATCH/input" "$OUT"
expect_status 1

# The source is untouched, the unreadable parts included.
for path in "${UNREADABLE[@]}"; do
    [ "$(stat -c %a "$path")" = 0 ] || fail "the mode of $path was changed"
done
chmod u+rw,go+r "${UNREADABLE[@]}"
check_unchanged "$SCRATCH/dist" "$SCRATCH/source.before"

HOME_DIR="$DRIVE/XEPDB1/QUARNDEL"
for line in "Error copying file: $SRC\\install\\seed_data.sql -> $APP\\install\\seed_data.sql" \
    "Error copying file: $SRC\\data\\private.csv -> $APP\\data\\private.csv"; do
    expect_output "$OUT" "$line"
    expect_log "$LOG" "$line"
done
# private.csv fails in both copies that include data\.
[ "$(count_lines "$LOG" "Error copying file: $SRC\\data\\private.csv -> ")" -eq 2 ] ||
    fail "private.csv should fail once in the APP_HOME copy and once in the DATA_HOME copy"
[ "$(count_lines "$LOG" "Error copying file: ")" -eq 3 ] || fail "only the two unreadable files should fail to copy"
[ ! -e "$HOME_DIR/install/seed_data.sql" ] || fail "an empty or partial seed_data.sql was left in APP_HOME"
[ ! -e "$HOME_DIR/data/private.csv" ] || fail "an empty or partial private.csv was left in APP_HOME"
check_copy_entries "$LOG" "$DRIVE"
check_error_count "$LOG" APP_HOME
[ "$ERROR_COUNT" -eq 2 ] || fail "the APP_HOME copy should count 2 errors, counted $ERROR_COUNT"
check_error_count "$LOG" DATA_HOME
[ "$ERROR_COUNT" -eq 1 ] || fail "the DATA_HOME copy should count 1 error, counted $ERROR_COUNT"
expect_output "$OUT" "Error: APP_HOME was not completely created: 2 errors. See install.log for details."
expect_output "$OUT" "Error: DATA_HOME was not completely created: 1 errors. See install.log for details."

# Everything else was copied.
(cd "$SCRATCH/dist" && find . -type f ! -path ./install/seed_data.sql ! -path ./data/private.csv \
    -printf '%P\0') |
    while IFS= read -r -d '' file; do
        cmp -s "$SCRATCH/dist/$file" "$HOME_DIR/$file" || { echo "$file" >"$SCRATCH/missing"; break; }
    done
[ ! -e "$SCRATCH/missing" ] || fail "$(cat "$SCRATCH/missing") was not copied"
for i in 0 1 2; do
    expect_output "$OUT" "${SCRIPT_CREATED[$i]}"
    [ -s "$HOME_DIR/${SCRIPT_FILES[$i]}" ] || fail "${SCRIPT_FILES[$i]} is missing"
done
expect_output "$OUT" "Shortcut created on Desktop: QUARNDEL.lnk"
# seed_data.sql did not arrive: SQL*Plus would run an older one, or none.
expect_output "$OUT" 'Error: SQL*Plus was not started because C:\XEPDB1\QUARNDEL\install did not receive every file of the distribution: its scripts may be missing or out of date.'
expect_output "$OUT" "These stages failed: APP_HOME and DATA_HOME copy, auto_install.sql and database objects. See install.log for details."
expect_output "$OUT" "Installation finished with errors. Press RETURN to exit."
expect_log "$LOG" "Installation completed with errors."

# An unreadable folder: nothing is asked, nothing copied.
rm -rf "$DRIVE/XEPDB1" "$LOG" "$SCRATCH/bin/sqlplus-ran"
chmod 000 "$SCRATCH/dist/secret"
if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=65534 --regid=65534 --clear-groups test -r "$SCRATCH/dist/secret" &&
        fail "test setup: nobody can read $SCRATCH/dist/secret"
fi
run_setup "$DRIVE" "$SCRATCH/input" "$OUT"
expect_status 255 "unreadable folder"
chmod 755 "$SCRATCH/dist/secret"
check_unchanged "$SCRATCH/dist" "$SCRATCH/source.before"
MESSAGE="Error: Could not read the folder $SRC\\secret, so the paths of the distribution cannot be measured."
expect_output "$OUT" "$MESSAGE" "unreadable folder"
expect_no_output "$OUT" "Enter the" "unreadable folder"
printf '%s\r\n' "ORACLE QUARNDEL INSTALLATION LOG" "Setup started from directory: $SRC" "$MESSAGE" \
    "Installation abandoned." | cmp -s - "$LOG" || fail "unreadable folder: install.log is not header, start, message, abandonment"
[ ! -e "$DRIVE/XEPDB1" ] || fail "unreadable folder: something was copied"
[ ! -e "$SCRATCH/bin/sqlplus-ran" ] || fail "SQL*Plus ran"

pass "unreadable file and data file reported, the rest copied, exit 1; unreadable folder abandoned at start, exit 255 (as $RUN_USER)"
