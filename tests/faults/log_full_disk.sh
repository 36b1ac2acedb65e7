#!/usr/bin/env bash
# install.log on a drive that fills up in the middle of an entry: the part
# of the entry that fitted is taken back, so the log holds only whole
# entries (each ending in CR LF) and the next entry never joins a fragment.
set -uo pipefail
TEST_NAME=log_full_disk
source "$(dirname "$0")/lib.bash"

[ "$(id -u)" -eq 0 ] || skip "mounting the small drive needs root"
start_scratch
# Enough files that their log entries outgrow one page.
mkdir -p "$SCRATCH/dist/extra"
for i in $(seq 1 80); do echo "file $i" >"$SCRATCH/dist/extra/file-$i.txt"; done
snapshot "$SCRATCH/dist" >"$SCRATCH/before"
make_drive "$SCRATCH/c"

# Two pages: one filled at once, the other taken by the log as it grows.
mount_tmpfs "$SCRATCH/logdrive" 8k
head -c 4096 /dev/zero >"$SCRATCH/logdrive/filler" || fail "cannot fill the drive"

default_yes_input "$SCRATCH/input"
run_setup "$SCRATCH/c" "$SCRATCH/input" "$SCRATCH/out" "$SCRATCH/logdrive"
expect_status 1
expect_output "$SCRATCH/out" "Error: Could not write to install.log."
expect_output "$SCRATCH/out" "install.log ("
log="$SCRATCH/logdrive/install.log"
size=$(stat -c %s "$log")
[ "$size" -gt 1000 ] || fail "the log holds only $size bytes: the drive was full too early for this test"
[ "$(tail -c 2 "$log" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "the log ends in a fragment: $(tail -c 40 "$log")"
# Every line is whole: one CR before each line feed, none elsewhere.
[ "$(tr -cd '\n' <"$log" | wc -c)" -eq "$(tr -cd '\r' <"$log" | wc -c)" ] || fail "a line lost its CR LF"
head -c 34 "$log" | cmp -s - <(printf 'ORACLE QUARNDEL INSTALLATION LOG\r\n') || fail "the log's first entry"
# Copies were still made while the log could not take them.
[ -f "$SCRATCH/c/XEPDB1/QUARNDEL/com/startora.bat" ] || fail "the copy stopped with the log"
check_unchanged "$SCRATCH/dist" "$SCRATCH/before"
pass "a log that fills its drive keeps only whole entries, exit 1"
