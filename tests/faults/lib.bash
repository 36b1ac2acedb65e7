# Shared by the fault tests in this folder, on top of tests/lib/common.bash
# (fail, skip, pass, on_exit, windows_path). Source it; it defines functions
# and a few variables only.
#
# Each test works in a scratch folder of its own under /tmp:
#   $SCRATCH/dist   the distribution: a copy of dist/ with the setup program in it ($SRC)
#   $SCRATCH/c      the host folder of drive C: (unless a test mounts another)
#   $SCRATCH/bin    a stand-in sqlplus that exits 0 and notes that it ran
#   $SCRATCH/work   the working folder of the run (install.log goes there)

source "$(dirname "${BASH_SOURCE[0]}")/../lib/common.bash"

# The native program of the tree that registered the test (build/linux by hand).
SETUP_EXE="${SETUP_BUILD_DIR:-$ROOT/build/linux}/setup"
RUN_USER=$(id -un)

# On failure, the end of the console output of the last run.
show_last_output() {
    if [ -n "${LAST_OUTPUT:-}" ] && [ -f "$LAST_OUTPUT" ]; then
        echo "---- last console output (tail) ----"
        tail -c 3000 "$LAST_OUTPUT" | tr -c '[:print:]\n' '?'
        echo
    fi
}
on_failure show_last_output

# The scratch folder with the stand-in sqlplus, the working folder and the
# distribution; SRC is the distribution's Windows path.
start_scratch() {
    [ -x "$SETUP_EXE" ] || fail "$SETUP_EXE is missing; build its tree first"
    make_scratch fault
    mkdir -p "$SCRATCH/bin" "$SCRATCH/work"
    make_fake_sqlplus "$SCRATCH/bin" "$SCRATCH/bin/sqlplus-ran"
    make_distribution "$SCRATCH/dist"
    SRC=$(windows_path "$SCRATCH/dist")
}

# The APP_HOME of the default answers.
APP='C:\XEPDB1\QUARNDEL'

# mount_tmpfs FOLDER SIZE [OPTIONS]: a tmpfs of SIZE (with the further mount
# OPTIONS) mounted on FOLDER (made here) and unmounted at exit. Mounting needs root; where it cannot be done, the test
# is skipped.
mount_tmpfs() {
    mkdir -p "$1"
    mount -t tmpfs -o "size=$2,mode=0755${3:+,$3}" "setup-fault-$TEST_NAME" "$1" || skip "could not mount a tmpfs on $1 here"
    on_exit "umount '$1'"
}

# make_drive FOLDER: a drive C: with the current user's Desktop folder.
make_drive() {
    mkdir -p "$1/users/${2:-$RUN_USER}/Desktop"
}

# snapshot FOLDER: every entry with its type and mode, and every file's hash.
snapshot() {
    (
        cd "$1" || exit 1
        find . -printf '%y %m %s %p\n' | LC_ALL=C sort
        find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum
    )
}

# check_unchanged FOLDER SNAPSHOT_FILE
check_unchanged() {
    local now
    now=$(snapshot "$1") || fail "could not read $1 for the snapshot"
    if [ "$now" != "$(cat "$2")" ]; then
        diff <(cat "$2") <(echo "$now") | head -20 >&2
        fail "the source tree $1 was changed by the run"
    fi
}

# run_setup DRIVE_C INPUT_FILE OUTPUT_FILE [WORK_FOLDER]
# Runs the program from $SCRATCH/dist; sets RUN_STATUS. Never waits more than 60 s.
# RUN_AS may hold a command that runs it as another user (with RUN_USER and
# RUN_HOME set to match); the environment is then given in full.
RUN_AS=()
RUN_HOME=${HOME:-/}
run_setup() {
    local drive=$1 input=$2 output=$3 work=${4:-$SCRATCH/work}
    LAST_OUTPUT=$output
    RUN_STATUS=0
    (cd "$work" && timeout -k 5 60 "${RUN_AS[@]}" env HOME="$RUN_HOME" USER="$RUN_USER" \
        PATH="$SCRATCH/bin:$PATH" SETUP_DRIVE_C="$drive" \
        "$SCRATCH/dist/setup" <"$input" >"$output" 2>&1) || RUN_STATUS=$?
    [ "$RUN_STATUS" -ne 124 ] && [ "$RUN_STATUS" -ne 137 ] || fail "the program did not end within 60 seconds"
}

# answers_with FILE [TEXT=ANSWER]...: the answer at each prompt (see
# prompt_answer), then the final RETURN, in FILE.
answers_with() {
    local file=$1 i
    shift
    for i in "${!PROMPT_TEXTS[@]}"; do prompt_answer "$i" "$@"; done >"$file"
    echo >>"$file"
}

# A default install's answers and the final RETURN.
default_yes_input() {
    answers_with "$1"
}

expect_status() {
    [ "$RUN_STATUS" -eq "$1" ] || fail "${2:-run}: exit status $RUN_STATUS, expected $1"
}

# expect_output FILE TEXT [WHAT]: the console output holds TEXT (fixed string).
expect_output() {
    grep -qaF -- "$2" "$1" || fail "${3:-run}: the console output lacks: $2"
}

expect_no_output() {
    ! grep -qaF -- "$2" "$1" || fail "${3:-run}: the console output should not hold: $2"
}

# expect_log LOG TEXT [WHAT]: install.log holds TEXT on a line of its own,
# the line ending in CR LF.
expect_log() {
    [ -f "$1" ] || fail "${3:-run}: no install.log at $1"
    grep -qaFx -- "$2"$'\r' "$1" || fail "${3:-run}: install.log lacks the entry: $2"
}

expect_no_log() {
    [ -f "$1" ] || return 0
    ! grep -qaF -- "$2" "$1" || fail "${3:-run}: install.log should not hold: $2"
}

# count_lines FILE TEXT: the number of lines holding TEXT.
count_lines() {
    grep -caF -- "$2" "$1" || true
}

# The three scripts the program writes, relative to APP_HOME.
SCRIPT_FILES=(config/set_env.sql config/set_env.bat install/auto_install.sql)
SCRIPT_STAGE_NAMES=(set_env.sql set_env.bat auto_install.sql)
SCRIPT_CREATED=("SQL script set_env.sql created." "Script set_env.bat created." "SQL Script auto_install.sql created.")
SCRIPT_NOT_WRITTEN=("Error: SQL script set_env.sql was not written." "Error: Script set_env.bat was not written." "Error: SQL script auto_install.sql was not written.")

# reference_run FOLDER: a run with default answers on an ordinary disk;
# its APP_HOME ends up in FOLDER/c/XEPDB1/QUARNDEL.
reference_run() {
    local folder=$1
    mkdir -p "$folder/work"
    make_drive "$folder/c"
    default_yes_input "$folder/input"
    run_setup "$folder/c" "$folder/input" "$folder/output" "$folder/work"
    expect_status 0 "reference run on an ordinary disk"
    local f
    for f in "${SCRIPT_FILES[@]}"; do
        [ -s "$folder/c/XEPDB1/QUARNDEL/$f" ] || fail "reference run: $f was not written"
    done
}

# check_copied SOURCE DESTINATION: every file of SOURCE is in DESTINATION, byte for byte.
check_copied() {
    local source=$1 destination=$2 file bad
    local -a files=()
    while IFS= read -r -d '' file; do files+=("$file"); done < <(cd "$source" && find . -type f -printf '%P\0')
    bad=$(same_files "${files[@]/#/$source/}" -- "${files[@]/#/$destination/}" | head -1)
    [ -z "$bad" ] || fail "${files[bad]} was not copied intact to $destination"
}

# host_of DRIVE_C WINDOWS_PATH: sets HOST_PATH to the host path of a C: or Z: path.
host_of() {
    local drive=$1 path=$2
    case "$path" in
        [Cc]:\\*) path="$drive/${path:3}" ;;
        [Zz]:\\*) path="/${path:3}" ;;
        *) fail "unexpected path in install.log: $path" ;;
    esac
    HOST_PATH=${path//\\//}
}

# check_copy_entries LOG DRIVE_C: for each destination file named in the log,
# its last entry holds: "Copied file: A -> B" means B is A byte for byte;
# "Error copying file: A -> B" means B is absent (no partial copy is left),
# unless B is the host path in KEPT_FILE (a file the test checks itself). Sets COPIED_ENTRIES and FAILED_ENTRIES to the counts of such entries.
check_copy_entries() {
    local log=$1 drive=$2 kind source destination host_source host_destination bad
    local -a sources=() destinations=() host_sources=() host_destinations=()
    COPIED_ENTRIES=$(count_lines "$log" "Copied file: ")
    FAILED_ENTRIES=$(count_lines "$log" "Error copying file: ")
    while IFS=$'\t' read -r kind source destination; do
        host_of "$drive" "$source"
        host_source=$HOST_PATH
        host_of "$drive" "$destination"
        host_destination=$HOST_PATH
        if [ "$kind" = copied ]; then
            sources+=("$source") destinations+=("$destination")
            host_sources+=("$host_source") host_destinations+=("$host_destination")
        elif [ -e "$host_destination" ] && [ "${KEPT_FILE:-}" != "$host_destination" ]; then
            fail "the copy of $source failed, yet $destination was left behind"
        fi
    done < <(tr -d '\r' <"$log" | awk '
        /^Copied file: / { sub(/^Copied file: /, ""); k = "copied" }
        /^Error copying file: / { sub(/^Error copying file: /, ""); k = "failed" }
        /^(Copied file|Error copying file): / || k != "" {
            i = index($0, " -> ")
            d = substr($0, i + 4)
            kind[d] = k; source[d] = substr($0, 1, i - 1)
            if (!(d in seen)) { seen[d] = 1; order[++n] = d }
            k = ""
        }
        END { for (j = 1; j <= n; j++) print kind[order[j]] "\t" source[order[j]] "\t" order[j] }')
    bad=$(same_files "${host_sources[@]}" -- "${host_destinations[@]}" | head -1)
    [ -z "$bad" ] || fail "install.log says ${sources[bad]} was copied, but ${destinations[bad]} is not the same file"
}

# The error count a copy reported for LABEL (APP_HOME or DATA_HOME), and the
# number of error entries logged while it ran; both must agree.
check_error_count() {
    local log=$1 label=$2 start stop reported logged
    case "$label" in
        APP_HOME) start='^User confirmed installation to continue[.]$' ;;
        DATA_HOME) start='^(Error: )?APP_HOME (created[.]|was not completely created)' ;;
    esac
    reported=$(tr -d '\r' <"$log" | sed -n "s/^Error: $label was not completely created: \([0-9]*\) errors\.\$/\1/p")
    [ -n "$reported" ] || fail "install.log lacks 'Error: $label was not completely created: N errors.'"
    logged=$(tr -d '\r' <"$log" | awk -v start="$start" -v label="$label" '
        $0 ~ start && !on && !done { on = 1; next }
        on && (index($0, "Error: " label " was not completely created") == 1) { on = 0; done = 1 }
        on && (/^Error copying file: / || /^Error: Could not create directory / ||
               /^Error: Could not open source directory / || /^Error: Path too long, not copied: /) { c++ }
        END { print c + 0 }')
    [ "$reported" -eq "$logged" ] ||
        fail "$label copy reported $reported errors, but $logged error entries were logged for it"
    ERROR_COUNT=$reported
}
