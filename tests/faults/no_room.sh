#!/usr/bin/env bash
# Drive C: is a 1 MB tmpfs and the distribution holds 3 MB more: the default
# application directory is refused at its prompt with both figures, an
# answer on another drive is taken, and nothing is ever copied to C:. On a
# 16 MB tmpfs the same default answers install.
set -u
source "$(dirname "$0")/lib.bash"

[ "$(id -u)" -eq 0 ] || skip "mounting a tmpfs needs root"

start_scratch
head -c $((3 * 1024 * 1024)) /dev/urandom >"$SCRATCH/dist/big.bin"
mkdir "$SCRATCH/other"
DRIVE="$SCRATCH/c"
mount_tmpfs "$DRIVE" 1m
make_drive "$DRIVE"

# The figures in tenths of a megabyte (1,048,576 bytes): needed up, free down.
# Each file takes whole blocks of the drive.
unit=$(stat -f -c %S "$DRIVE")
bytes=$(find "$SCRATCH/dist" -type f -printf '%s\n' | awk -v u="$unit" '{ s += int(($1 + u - 1) / u) * u } END { print s }')
free=$(df --output=avail -B1 "$DRIVE" | tail -1 | tr -d ' ')
need=$(((bytes * 10 + 1048575) / 1048576))
have=$((free * 10 / 1048576))
refusal="ERROR: Not enough free space on the drive of APP_HOME: the copy needs $((need / 10)).$((need % 10)) MB, $((have / 10)).$((have % 10)) MB are free. Please enter a valid path: "

answers "$SCRATCH/input" "" "" "" "" "" "$(windows_path "$SCRATCH/other")" "" "N"
OUT="$SCRATCH/output"
run_setup "$DRIVE" "$SCRATCH/input" "$OUT"
expect_status 255
[[ "$(cat "$OUT")" == *"(Press Enter for default: 'C:\\'): "$'\n'"$refusal"$'\n'"Specify the data home"* ]] ||
    fail "the default application directory was not refused with: $refusal"
[ "$(count_lines "$OUT" "ERROR: ")" -eq 1 ] || fail "expected one refusal, for APP_HOME only"
expect_output "$OUT" "APP_HOME directory = $(windows_path "$SCRATCH/other")\\XEPDB1\\QUARNDEL"
expect_output "$OUT" "DATA_HOME directory = C:\\XEPDB1\\QUARNDEL\\data"
[ -z "$(find "$DRIVE" -type f)" ] || fail "files were written to drive C: $(find "$DRIVE" -type f)"

umount "$DRIVE"
mount -t tmpfs -o size=16m,mode=0755 "setup-fault-$TEST_NAME" "$DRIVE" || fail "could not mount the larger tmpfs"
make_drive "$DRIVE"
default_yes_input "$SCRATCH/input"
run_setup "$DRIVE" "$SCRATCH/input" "$OUT"
expect_status 0
expect_no_output "$OUT" "ERROR: "
cmp -s "$SCRATCH/dist/big.bin" "$DRIVE/XEPDB1/QUARNDEL/big.bin" || fail "big.bin was not copied to the drive with room"

pass "no room: refused with needs $((need / 10)).$((need % 10)) MB, $((have / 10)).$((have % 10)) MB free; 16 MB accepted"
