#!/usr/bin/env bash
# An install killed, then run again with the same answers, installs: the
# build given (linux, the native program, killed with SIGKILL; win32 or
# win64 under Wine, killed with wineserver -k) is killed at the
# confirmation, in the middle of the copy and while SQL*Plus (the stand-in)
# asks for a password. Each time the next run ends with status 0, the whole
# tree, the three scripts, SQL*Plus run once on its scripts, the shortcut
# and (natively) the folders' modes; install.log holds whole entries only,
# but for the killed run's last, and the next run's start on a line of
# their own (a cut-short entry is also put there by hand once).
set -euo pipefail
source "$(dirname "$0")/common.sh"
BUILD=${1:-}
case "$BUILD" in
    linux)
        SETUP_EXE="${SETUP_BUILD_DIR:-$ROOT/build/linux}/setup"
        SQLPLUS_EXE="${SETUP_BUILD_DIR:-$ROOT/build/linux}/tools/sqlplus/sqlplus"
        [ -x "$SETUP_EXE" ] && [ -x "$SQLPLUS_EXE" ] || skip "$SETUP_EXE or $SQLPLUS_EXE is missing; build the tree first"
        make_scratch kill
        WORK="$SCRATCH/work"
        DRIVE_C="$SCRATCH/c"
        mkdir -p "$WORK" "$DRIVE_C/users/$(id -un)/Desktop"
        keep_scratch_on_failure
        ;;
    *)
        use_build "$BUILD"
        start_scratch
        ;;
esac
make_wine_distribution
mkdir -p "$SCRATCH/bin"
cp "$SQLPLUS_EXE" "$SCRATCH/bin/"
APP_HOST="$DRIVE_C/XEPDB1/QUARNDEL"
LOG="$WORK/install.log"
OUTPUT="$SCRATCH/output.txt"
on_failure '[ -f "$OUTPUT" ] && tail -c 2000 "$OUTPUT"'
FIFO="$SCRATCH/input"
mkfifo "$FIFO"

# Starts the program from WORK with its input from FILE; sets PID.
start_run() {
    local input=$1
    : > "$OUTPUT"
    if [ "$BUILD" = linux ]; then
        (cd "$WORK" && exec setsid env SETUP_DRIVE_C="$DRIVE_C" USER="$(id -un)" \
            PATH="$SCRATCH/bin:$PATH" "$DIST/setup" <"$input" >"$OUTPUT" 2>&1) &
    else
        (cd "$WORK" && exec env WINEPATH="$(windows_path "$SCRATCH/bin")" \
            "$WINE" "$(windows_path "$DIST")\\setup.exe" <"$input" >"$OUTPUT" 2>&1) &
    fi
    PID=$!
}

kill_run() {
    if [ "$BUILD" = linux ]; then
        kill -KILL -- "-$PID" 2>/dev/null || true
    else
        WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true
    fi
    wait "$PID" 2>/dev/null || true
}

# Waits until the file has a line matching the pattern COUNT times.
wait_for_lines() {
    local file=$1 pattern=$2 count=${3:-1} waited=0
    until [ -f "$file" ] && [ "$(tr -d '\r' < "$file" | grep -c -- "$pattern" || true)" -ge "$count" ]; do
        sleep 0.1
        waited=$((waited + 1))
        [ $waited -lt 1200 ] || fail "timed out waiting for $pattern in $file"
        kill -0 "$PID" 2>/dev/null || fail "the run ended before $pattern appeared in $file"
    done
}


# kill_at WHAT: the run killed at that point, then run again and checked.
kill_at() {
    local what=$1
    exec 3<>"$FIFO"
    start_run "$FIFO"
    case "$what" in
        confirmation)
            default_answers $((${#PROMPT_ANSWERS[@]} - 1)) >&3
            wait_for_lines "$LOG" '^SQL_DATA_HOME directory = ' "$((runs + 1))" ;;
        copy)
            default_answers >&3
            if [ "$BUILD" = linux ]; then
                # The copy comes to wait at the FIFO in the distribution.
                wait_for_lines "$LOG" '^Copied file: ' "$((copied_before + 1))"
                sleep 0.5
            else
                wait_for_lines "$LOG" '^Copied file: ' "$((copied_before + 20))"
            fi ;;
        sqlplus)
            default_answers >&3
            wait_for_lines "$OUTPUT" 'Enter the password for QUARNDEL:' ;;
    esac
    kill_run
    exec 3>&-
    runs=$((runs + 1))
    if [ "$what" = copy ]; then
        grep -q '^Copied file: ' <(tr -d '\r' < "$LOG" | tail -1) || fail "the copy was not under way when killed"
        printf 'Copied file: %s' 'Z:\cut' >> "$LOG"  # as a kill in the middle of a write leaves it
    fi

    local before
    before=$(wc -c < "$LOG")
    rm -f "$WORK/sqlplus-transcript.log" "$DIST/data/zz-pipe"
    [ "$BUILD" != linux ] || echo "a file now" > "$DIST/data/zz-pipe"
    { default_answers; printf 'Owner-1\nConnect-2\nSys-3\n\n'; } > "$SCRATCH/answers.txt"
    start_run "$SCRATCH/answers.txt"
    local waited=0
    while kill -0 "$PID" 2>/dev/null; do
        sleep 0.2
        waited=$((waited + 1))
        [ $waited -lt 900 ] || { kill_run; fail "after a kill at the $what: the next run did not end"; }
    done
    local status=0
    wait "$PID" || status=$?
    runs=$((runs + 1))
    [ "$status" = 0 ] || fail "after a kill at the $what: the next run ended with status $status"

    local files bad
    mapfile -t files < <(cd "$DIST" && find . -type f | sort)
    bad=$(same_files "${files[@]/#/$DIST/}" -- "${files[@]/#/$APP_HOST/}" | head -1)
    [ -z "$bad" ] || fail "after a kill at the $what: ${files[bad]} was not copied whole"
    for script in config/set_env.sql config/set_env.bat install/auto_install.sql; do
        [ -s "$APP_HOST/$script" ] || fail "after a kill at the $what: $script is missing"
    done
    "$ROOT/tests/wine/check_transcript.sh" "$WORK/sqlplus-transcript.log" \
        || fail "after a kill at the $what: SQL*Plus did not run the scripts once each"
    ls "$DRIVE_C"/users/*/Desktop/QUARNDEL.lnk >/dev/null 2>&1 || fail "after a kill at the $what: no shortcut"
    if [ "$BUILD" = linux ]; then
        for folder in XEPDB1 XEPDB1/QUARNDEL XEPDB1/QUARNDEL/install; do
            [ "$(stat -c %a "$DRIVE_C/$folder")" = 755 ] || fail "after a kill at the $what: $folder is not 0755"
        done
        [ "$(stat -c %a "$APP_HOST/data")" = 777 ] || fail "after a kill at the $what: the data folder is not 0777"
    fi

    # The next run's part of the log: whole entries from its header on, on
    # a line of its own, with one command run.
    local next
    next=$(tail -c "+$((before + 1))" "$LOG")
    case "$next" in
        $'\r\nORACLE QUARNDEL INSTALLATION LOG\r\n'* | $'ORACLE QUARNDEL INSTALLATION LOG\r\n'*) ;;
        *) fail "after a kill at the $what: the next run's entries do not start on a line of their own" ;;
    esac
    [ "$(printf '%s' "$next" | grep -c '^Executing: ')" = 1 ] || fail "after a kill at the $what: not one command run"
    [ "$(printf '%s' "$next" | tr -d '\r' | tail -1)" = "Installation completed." ] \
        || fail "after a kill at the $what: the next run's log does not end with its end"
    copied_before=$(tr -d '\r' < "$LOG" | grep -c '^Copied file: ' || true)
    echo "checked: killed at the $what, the next run installs ($BUILD)"
}

# Every line of the log ends in CR LF but the killed runs' last ones.
check_log_lines() {
    [ "$(tail -c 1 "$LOG" | od -An -c | tr -d ' ')" = '\n' ] || fail "install.log: the log does not end with a line break"
    # The one cut short by hand is its run's last, now followed by CR LF.
    local torn
    torn=$(LC_ALL=C awk '!/\r$/ { print "torn: " $0 }' "$LOG")
    [ -z "$torn" ] || fail "install.log: $torn"
    [ "$(tr -d '\r' < "$LOG" | grep -cx 'ORACLE QUARNDEL INSTALLATION LOG')" = "$runs" ] \
        || fail "install.log: not every run's header is a line of its own"
}

runs=0
copied_before=0
# Natively the modes must not come from the umask. Under Wine the folders a
# run makes below its protected first one (which on Windows inherit its
# list) get their Unix mode from the umask, and Wine reads a list back from
# that mode: a 0777 folder would read as one every user may change, and the
# rerun would rightly refuse it.
[ "$BUILD" != linux ] || umask 000
if [ "$BUILD" = linux ]; then
    mkfifo "$DIST/data/zz-pipe"
else
    mkdir -p "$DIST/data/bulk"
    for i in $(seq 1 1500); do echo "$i" > "$DIST/data/bulk/f$i.txt"; done
fi
kill_at confirmation
[ "$BUILD" != linux ] || { rm -f "$DIST/data/zz-pipe"; mkfifo "$DIST/data/zz-pipe"; }
kill_at copy
kill_at sqlplus
check_log_lines
pass "killed at the confirmation, during the copy and during SQL*Plus, the next run installs"
