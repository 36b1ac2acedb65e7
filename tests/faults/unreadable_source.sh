#!/usr/bin/env bash
# Parts of the distribution cannot be read: a file in install\, a file in
# data\ and a whole folder. Each must be reported (copy error, or "Could not
# open source directory"), every other file copied, the scripts written,
# and the run must end with exit status 1. Root reads everything, so as root
# the program runs as the unprivileged user nobody.
set -u
source "$(dirname "$0")/lib.bash"

start_scratch
make_dist "$SCRATCH/dist"
mkdir "$SCRATCH/dist/secret"
echo "not for this user" >"$SCRATCH/dist/secret/key.txt"
echo "id,name" >"$SCRATCH/dist/data/private.csv"
snapshot "$SCRATCH/dist" >"$SCRATCH/source.before"
UNREADABLE=("$SCRATCH/dist/install/seed_data.sql" "$SCRATCH/dist/data/private.csv" "$SCRATCH/dist/secret")
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
chmod u+rw,go+r "${UNREADABLE[@]}" && chmod a+x "$SCRATCH/dist/secret"
check_unchanged "$SCRATCH/dist" "$SCRATCH/source.before"

SRC=$(windows_path "$SCRATCH/dist")
APP='C:\XEPDB1\QUARNDEL'
HOME_DIR="$DRIVE/XEPDB1/QUARNDEL"
for line in "Error copying file: $SRC\\install\\seed_data.sql -> $APP\\install\\seed_data.sql" \
    "Error copying file: $SRC\\data\\private.csv -> $APP\\data\\private.csv" \
    "Error: Could not open source directory $SRC\\secret"; do
    expect_output "$OUT" "$line"
    expect_log "$LOG" "$line"
done
# private.csv fails in both copies that include data\.
[ "$(count_lines "$LOG" "Error copying file: $SRC\\data\\private.csv -> ")" -eq 2 ] ||
    fail "private.csv should fail once in the APP_HOME copy and once in the DATA_HOME copy"
[ "$(count_lines "$LOG" "Error copying file: ")" -eq 3 ] || fail "only the two unreadable files should fail to copy"
[ ! -e "$HOME_DIR/install/seed_data.sql" ] || fail "an empty or partial seed_data.sql was left in APP_HOME"
[ ! -e "$HOME_DIR/data/private.csv" ] || fail "an empty or partial private.csv was left in APP_HOME"
[ -z "$(ls -A "$HOME_DIR/secret" 2>/dev/null)" ] || fail "something was copied out of the unreadable folder"
check_copy_entries "$LOG" "$DRIVE"
check_error_count "$LOG" APP_HOME
[ "$ERROR_COUNT" -eq 3 ] || fail "the APP_HOME copy should count 3 errors, counted $ERROR_COUNT"
check_error_count "$LOG" DATA_HOME
[ "$ERROR_COUNT" -eq 1 ] || fail "the DATA_HOME copy should count 1 error, counted $ERROR_COUNT"
expect_output "$OUT" "Error: APP_HOME was not completely created: 3 errors. See install.log for details."
expect_output "$OUT" "Error: DATA_HOME was not completely created: 1 errors. See install.log for details."

# Everything else was copied.
(cd "$SCRATCH/dist" && find . -type f ! -path ./install/seed_data.sql ! -path ./data/private.csv \
    ! -path './secret/*' -printf '%P\0') |
    while IFS= read -r -d '' file; do
        cmp -s "$SCRATCH/dist/$file" "$HOME_DIR/$file" || { echo "$file" >"$SCRATCH/missing"; break; }
    done
[ ! -e "$SCRATCH/missing" ] || fail "$(cat "$SCRATCH/missing") was not copied"
for i in 0 1 2; do
    expect_output "$OUT" "${SCRIPT_CREATED[$i]}"
    [ -s "$HOME_DIR/${SCRIPT_FILES[$i]}" ] || fail "${SCRIPT_FILES[$i]} is missing"
done
expect_output "$OUT" "Shortcut created on Desktop: QUARNDEL.lnk"
expect_output "$OUT" "These stages failed: APP_HOME and DATA_HOME copy. See install.log for details."
expect_output "$OUT" "Installation finished with errors. Press RETURN to exit."
expect_log "$LOG" "Installation completed with errors."

pass "unreadable file, data file and folder reported (as $RUN_USER), the rest copied, exit 1"
