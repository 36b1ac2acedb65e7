#!/usr/bin/env bash
# Three unattended installs of the build given as the first argument (win32
# or win64) started together in one folder, into C:\A1, C:\A2 and C:\A3,
# 1,500 files each: one reaches the folder as C:\t\longlogdirectory, two as
# E:\, a drive mapped to the same folder. install.log must hold every entry
# of the three runs, each whole on a line of its own (CR LF), and nothing
# else. Each run alone first gives
# the entries it writes. Then a run beside a holder that never gives back
# the log's turn.
set -euo pipefail
source "$(dirname "$0")/common.sh"
use_build "${1:-}"

FILES=1500
start_scratch
make_wine_distribution
mkdir -p "$DIST/extra" "$DRIVE_C/A1" "$DRIVE_C/A2" "$DRIVE_C/A3"
have=$(find "$DIST" -type f | wc -l)
for ((i = have; i < FILES; i++)); do echo "file $i" >"$DIST/extra/file-$i.txt"; done
[ "$(find "$DIST" -type f | wc -l)" -eq "$FILES" ] || fail "test setup: the distribution does not hold $FILES files"
DATA_FILES=$(find "$DIST/data" -type f | wc -l)
# SQL*Plus is not what this test is about: a stand-in that succeeds at once.
make_fake_sqlplus "$SCRATCH/bin"
export WINEPATH=$(windows_path "$SCRATCH/bin")
SETUP=$(windows_path "$DIST/setup.exe")

# install FOLDER WORK OUTPUT [AS]: one unattended install into C:\FOLDER from
# the working folder WORK (reached as the Windows folder AS when given); its
# exit status goes to OUTPUT.status.
install() {
    local folder=$1 work=$2 output=$3 as=${4:-}
    printf '\r\n\r\n\r\n\r\nC:\\%s\r\nC:\\%s\r\nY\r\n\r\n' "$folder" "$folder" >"$work/answers-$folder.txt"
    local status=0 enter=""
    [ -z "$as" ] || enter="cd /d $as && "
    (cd "$work" && "$WINE" cmd /c "$enter$SETUP < answers-$folder.txt > $(basename "$output")") || status=$?
    echo "$status" >"$output.status"
}

# The lines of a log, each without its CR LF; a line that lacks its CR, or
# a last line that lacks its line feed, is marked torn.
log_lines() {
    awk '{ if (sub(/\r$/, "")) print; else print "<torn>" $0 }' "$1"
}

for folder in A1 A2 A3; do
    mkdir -p "$SCRATCH/alone-$folder"
    install "$folder" "$SCRATCH/alone-$folder" "$SCRATCH/alone-$folder/output.txt"
    [ "$(cat "$SCRATCH/alone-$folder/output.txt.status")" = 0 ] ||
        { tail -20 "$SCRATCH/alone-$folder/output.txt" >&2; fail "$folder alone: exit status not 0"; }
    log_lines "$SCRATCH/alone-$folder/install.log" >>"$SCRATCH/expected"
done

# The shared folder under two names: its path on C:, and drive E:.
SHARED="$DRIVE_C/t/longlogdirectory"
mkdir -p "$SHARED"
ln -s "$SHARED" "$WINEPREFIX/dosdevices/e:"
install A1 "$SHARED" "$SHARED/output-1.txt" 'C:\t\longlogdirectory' &
first=$!
install A2 "$SHARED" "$SHARED/output-2.txt" 'E:\' &
second=$!
install A3 "$SHARED" "$SHARED/output-3.txt" 'E:\' &
third=$!
wait "$first" "$second" "$third"
for run in 1 2 3; do
    [ "$(cat "$SHARED/output-$run.txt.status")" = 0 ] ||
        { tail -20 "$SHARED/output-$run.txt" >&2; fail "run $run of three: exit status not 0"; }
    grep -qF 'Installation complete. Press RETURN to exit.' "$SHARED/output-$run.txt" ||
        fail "run $run of three did not complete"
    if grep -qF 'install.log' <(grep -F 'Error' "$SHARED/output-$run.txt"); then
        fail "run $run of three could not write install.log"
    fi
done

LOG="$SHARED/install.log"
[ "$(tail -c 2 "$LOG" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "install.log ends in a torn line"
log_lines "$LOG" >"$SCRATCH/together"
if grep -m 3 -n '^<torn>' "$SCRATCH/together" >&2; then fail "install.log holds torn lines"; fi
for folder in A1 A2 A3; do
    copied=$(grep -c "^Copied file: .* -> C:\\\\$folder\\\\" "$SCRATCH/together" || true)
    [ "$copied" -eq $((FILES + DATA_FILES)) ] ||
        fail "install.log holds $copied 'Copied file' entries into C:\\$folder, expected $((FILES + DATA_FILES))"
done
if ! diff <(LC_ALL=C sort "$SCRATCH/expected") <(LC_ALL=C sort "$SCRATCH/together") >"$SCRATCH/diff"; then
    head -20 "$SCRATCH/diff" >&2
    fail "install.log does not hold exactly the entries of the three runs"
fi

# A run beside one that logs into the same install.log and keeps its turn
# for good waits for it once, says so once, and goes on without turns.
HELD="$SCRATCH/held"
mkdir -p "$HELD"
HOLDER=$(windows_path "$PRESET_TREES/$BUILD/tests-wine/hold_log_turn.exe")
on_exit "touch '$HELD/released'"
(cd "$HELD" && "$WINE" "$HOLDER" install.log released >holder.txt 2>&1) &
for ((i = 0; i < 600; i++)); do grep -q holding "$HELD/holder.txt" 2>/dev/null && break; sleep 0.1; done
grep -q holding "$HELD/holder.txt" || { cat "$HELD/holder.txt" >&2; fail "the holder did not take the turn"; }
started=$SECONDS
install A1 "$HELD" "$HELD/output.txt"
took=$((SECONDS - started))
touch "$HELD/released"
[ "$(cat "$HELD/output.txt.status")" = 0 ] || { tail -20 "$HELD/output.txt" >&2; fail "beside a holder: exit status not 0"; }
NOTE='Warning: Another run writing to install.log kept its turn for 5 seconds'
[ "$(grep -cF "$NOTE" "$HELD/output.txt")" -eq 1 ] || fail "beside a holder: the console does not say once that turns stopped"
[ "$(grep -cF "$NOTE" "$HELD/install.log")" -eq 1 ] || fail "beside a holder: install.log does not say once that turns stopped"
entries=$(grep -c '' "$HELD/install.log")
[ "$(grep -c '^Copied file: ' "$HELD/install.log")" -eq $((FILES + DATA_FILES)) ] || fail "beside a holder: copy entries missing"
# Waiting for every entry would take entries x 5 s.
[ "$took" -lt $((entries * 5 / 20)) ] || fail "beside a holder the run took $took s for $entries entries"

# The runs really shared the log: their copy entries alternate.
switches=$(awk '/^Copied file: / { run = substr($0, index($0, "-> C:\\A") + 7, 1); if (last && run != last) n++; last = run }
    END { print n + 0 }' "$SCRATCH/together")
[ "$switches" -ge 2 ] || skip "the three runs did not overlap, so nothing shared was tested"
pass "three runs at once through two names of one folder, $((3 * (FILES + DATA_FILES))) copy entries, all whole ($switches alternations); beside a holder in $took s"
