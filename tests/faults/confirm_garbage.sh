#!/usr/bin/env bash
# A 1 MB line of garbage (printable and binary bytes, none of them Y or N) at
# the Y/N question, then N or the end of the input: the garbage is refused,
# the run is abandoned with exit status 255, nothing is installed, and the
# program ends within 60 seconds. (The question takes a character at a time,
# so the garbage must hold no Y or N here: those would count as answers.)
set -u
source "$(dirname "$0")/lib.bash"

start_scratch
snapshot "$SCRATCH/dist" >"$SCRATCH/source.before"
make_garbage "$SCRATCH/garbage"
tr 'yYnN' 'xXmM' <"$SCRATCH/garbage" >"$SCRATCH/garbage-no-yn"
bytes=$(tr -d ' \t\n\r\v\f' <"$SCRATCH/garbage-no-yn" | wc -c)
[ "$bytes" -gt 1000000 ] || fail "test setup: the garbage is too short"

for name in then-n then-eof; do
    mkdir -p "$SCRATCH/$name/work"
    make_drive "$SCRATCH/$name/c"
    {
        printf '\n\n\n\n\n\n'
        cat "$SCRATCH/garbage-no-yn"
        echo
        [ "$name" = then-eof ] || echo N
    } >"$SCRATCH/$name/input"
    (
        run_setup "$SCRATCH/$name/c" "$SCRATCH/$name/input" "$SCRATCH/$name/output" "$SCRATCH/$name/work"
        echo "$RUN_STATUS" >"$SCRATCH/$name/status"
    ) 2>"$SCRATCH/$name/errors" &
done
wait

INVALID="Invalid input. Please enter 'Y' for Yes or 'N' for No."
for name in then-n then-eof; do
    OUT="$SCRATCH/$name/output"
    LOG="$SCRATCH/$name/work/install.log"
    LAST_OUTPUT=$OUT
    [ -s "$SCRATCH/$name/status" ] || fail "$name: the run did not finish: $(cat "$SCRATCH/$name/errors")"
    RUN_STATUS=$(cat "$SCRATCH/$name/status")
    [ "$RUN_STATUS" -ne 124 ] && [ "$RUN_STATUS" -ne 137 ] || fail "$name: the program did not end within 60 seconds"
    expect_status 255 "$name"
    expect_output "$OUT" "Installation abandoned." "$name"
    expect_log "$LOG" "Installation abandoned." "$name"
    expect_no_log "$LOG" "User confirmed installation to continue." "$name"
    expect_no_output "$OUT" "Creating APP_HOME" "$name"
    [ ! -e "$SCRATCH/$name/c/XEPDB1" ] || fail "$name: APP_HOME was created although the answer was not Y"
    refusals=$(count_lines "$OUT" "$INVALID")
    [ "$refusals" -ge 1 ] || fail "$name: the garbage was not refused with '$INVALID'"
    [ "$refusals" -le "$bytes" ] || fail "$name: $refusals refusals for $bytes bytes of garbage"
    expect_output "$OUT" "DBSERVICE = XEPDB1" "$name"
    rm -f "$OUT"
done
check_unchanged "$SCRATCH/dist" "$SCRATCH/source.before"
pass "1 MB of garbage at the Y/N question refused, then N or end of input abandons (exit 255), nothing installed"
