#!/usr/bin/env bash
# Faults in the answers on standard input:
#  - the input ends at each prompt in turn (and right after a refused
#    directory answer): the run is abandoned, exit status 255, nothing copied;
#  - a 1 MB line of garbage (printable and binary bytes, one line feed at the
#    end) at each of the six answer prompts in turn: refused with a clear
#    message, never taken as an answer nor echoed; followed by the end of the
#    input the run is abandoned, followed by valid answers it goes on with them.
# The Y/N question has a script of its own, confirm_garbage.sh.
# No run may hang: each is limited to 60 seconds.
set -u
source "$(dirname "$0")/lib.bash"

start_scratch
snapshot "$SCRATCH/dist" >"$SCRATCH/source.before"

PROMPTS=("Enter the pluggable database service name" "Enter the application owner username"
    "Enter the connection username" "Enter the listener port" "Enter the app installation directory path"
    "Enter the data directory path" "Do you want to continue with the installation (Y or N)?")
LIMITS=(19 19 19 5 259 259)
DEFAULT_ECHO=("DBSERVICE = XEPDB1" "APP_OWNER = QUARNDEL" "CONNECT_USER = DEMO_CONNECT" "Listener port = 1521"
    'APP_HOME directory = C:\XEPDB1\QUARNDEL' 'DATA_HOME directory = C:\XEPDB1\QUARNDEL\data')

make_garbage "$SCRATCH/garbage"

# blank_lines N: N empty answers (the defaults).
blank_lines() {
    local i
    for ((i = 0; i < $1; i++)); do echo; done
}

# Each case runs in a folder of its own with its own drive C:; up to three
# run at a time. launch NAME, with the input on standard input (never from a
# pipe: launch must run in this shell, so that the final wait covers its jobs).
CASES=()
launch() {
    local name=$1 folder=$SCRATCH/case-$1
    mkdir -p "$folder/work"
    make_drive "$folder/c"
    cat >"$folder/input"
    CASES+=("$name")
    while [ "$(jobs -rp | wc -l)" -ge 3 ]; do wait -n; done
    (
        run_setup "$folder/c" "$folder/input" "$folder/output" "$folder/work"
        echo "$RUN_STATUS" >"$folder/status"
    ) 2>"$folder/errors" &
}

# EOF at each prompt: k answers given, then the end of the input.
for k in 0 1 2 3 4 5 6; do
    launch "eof-at-prompt-$((k + 1))" < <(blank_lines $k)
done
# EOF right after a refused directory answer, and in the middle of an answer.
launch eof-after-refused-app-directory < <(blank_lines 4; echo 'C:\no such folder')
launch eof-after-refused-data-directory < <(blank_lines 5; echo 'C:\missing')
launch eof-inside-first-answer < <(printf 'XEPDB2')
# Garbage at each prompt, then the end of the input, or valid answers and N.
for k in 0 1 2 3 4 5; do
    launch "garbage-eof-at-prompt-$((k + 1))" < <(blank_lines $k; cat "$SCRATCH/garbage"; echo)
    launch "garbage-then-answers-at-prompt-$((k + 1))" < <(blank_lines $k; cat "$SCRATCH/garbage"; echo
        blank_lines $((6 - k)); echo N)
done
# Garbage as the second try after a refused directory answer.
launch garbage-after-refused-app-directory < <(blank_lines 4; echo 'C:\missing'; cat "$SCRATCH/garbage"
    echo; echo 'C:\'; echo; echo N)
# Garbage at the first prompt, then the defaults and Y: a complete installation.
launch garbage-then-install < <(cat "$SCRATCH/garbage"; echo; blank_lines 6; echo Y; echo)
wait

# check_case NAME: the common checks; sets OUT, LOG, FOLDER, STATUS.
check_case() {
    FOLDER=$SCRATCH/case-$1
    OUT=$FOLDER/output
    LOG=$FOLDER/work/install.log
    LAST_OUTPUT=$OUT
    [ -s "$FOLDER/status" ] || fail "$1: the run did not finish: $(cat "$FOLDER/errors")"
    RUN_STATUS=$(cat "$FOLDER/status")
    [ "$RUN_STATUS" -ne 124 ] && [ "$RUN_STATUS" -ne 137 ] || fail "$1: the program did not end within 60 seconds"
}

# check_abandoned NAME: abandoned, exit 255, nothing installed.
check_abandoned() {
    expect_status 255 "$1"
    expect_output "$OUT" "Installation abandoned." "$1"
    expect_log "$LOG" "Installation abandoned." "$1"
    expect_no_log "$LOG" "User confirmed installation to continue." "$1"
    expect_no_output "$OUT" "Creating APP_HOME" "$1"
    [ ! -e "$FOLDER/c/XEPDB1" ] || fail "$1: APP_HOME was created although the run was abandoned"
}

# check_prompts_seen NAME N: prompts 1..N were shown, N+1 not.
check_prompts_seen() {
    local i
    for ((i = 0; i < $2; i++)); do expect_output "$OUT" "${PROMPTS[$i]}" "$1"; done
    [ "$2" -ge ${#PROMPTS[@]} ] || expect_no_output "$OUT" "${PROMPTS[$2]}" "$1"
}

# The output never holds the garbage: it stays small.
check_not_echoed() {
    [ "$(stat -c %s "$OUT")" -lt 65536 ] || fail "$1: the console output is $(stat -c %s "$OUT") bytes: the garbage was echoed"
}

too_long_message() {
    echo "Error: The answer is too long: at most $1 characters are allowed."
}

# check_garbage_refused NAME LIMIT: abandoned, the garbage not echoed, and
# refused once as longer than LIMIT.
check_garbage_refused() {
    check_case "$1"
    check_abandoned "$1"
    check_not_echoed "$1"
    [ "$(count_lines "$OUT" "$(too_long_message "$2")")" -eq 1 ] ||
        fail "$1: expected the message '$(too_long_message "$2")' once"
}

for k in 0 1 2 3 4 5 6; do
    name="eof-at-prompt-$((k + 1))"
    check_case "$name"
    check_abandoned "$name"
    check_prompts_seen "$name" $((k + 1))
    if [ "$k" -eq 6 ]; then
        for line in "${DEFAULT_ECHO[@]}"; do expect_output "$OUT" "$line" "$name"; done
    fi
done

check_case eof-after-refused-app-directory
check_abandoned eof-after-refused-app-directory
expect_output "$OUT" "ERROR: Directory does not exist, please enter a valid path: " eof-after-refused-app-directory
check_prompts_seen eof-after-refused-app-directory 5

check_case eof-after-refused-data-directory
check_abandoned eof-after-refused-data-directory
expect_output "$OUT" "ERROR: Directory does not exist, please enter a valid path: " eof-after-refused-data-directory
check_prompts_seen eof-after-refused-data-directory 6

check_case eof-inside-first-answer
check_abandoned eof-inside-first-answer
check_prompts_seen eof-inside-first-answer 2

for k in 0 1 2 3 4 5; do
    name="garbage-eof-at-prompt-$((k + 1))"
    check_garbage_refused "$name" "${LIMITS[$k]}"
    check_prompts_seen "$name" $((k + 1))
    [ "$(count_lines "$OUT" "${PROMPTS[$k]}")" -eq 2 ] || fail "$name: the prompt was not asked again after the garbage"

    name="garbage-then-answers-at-prompt-$((k + 1))"
    check_garbage_refused "$name" "${LIMITS[$k]}"
    for line in "${DEFAULT_ECHO[@]}"; do expect_output "$OUT" "$line" "$name"; done
    for line in "${DEFAULT_ECHO[@]}"; do expect_log "$LOG" "$line" "$name"; done
done

name=garbage-after-refused-app-directory
check_case $name
check_abandoned $name
check_not_echoed $name
expect_output "$OUT" "ERROR: Directory does not exist, please enter a valid path: " $name
expect_output "$OUT" "ERROR: The directory path is too long: at most 259 characters are allowed. Please enter a valid path: " $name
for line in "${DEFAULT_ECHO[@]}"; do expect_output "$OUT" "$line" $name; done


name=garbage-then-install
check_case $name
expect_status 0 $name
check_not_echoed $name
[ "$(count_lines "$OUT" "$(too_long_message 19)")" -eq 1 ] || fail "$name: expected the message '$(too_long_message 19)' once"
for line in "${DEFAULT_ECHO[@]}"; do expect_output "$OUT" "$line" $name; done
expect_output "$OUT" "Installation complete. Press RETURN to exit." $name
check_copied "$SCRATCH/dist" "$FOLDER/c/XEPDB1/QUARNDEL"

check_unchanged "$SCRATCH/dist" "$SCRATCH/source.before"
pass "${#CASES[@]} runs: end of input and 1 MB garbage at every prompt handled, none hung"
