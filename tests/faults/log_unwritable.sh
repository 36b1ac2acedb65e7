#!/usr/bin/env bash
# install.log cannot be opened: a folder of that name is in the working
# folder. Every entry that is lost must say so on the console, the stages
# must still do all their work, and the run must end with exit status 1,
# naming install.log and the number of lost entries in its summary.
set -u
source "$(dirname "$0")/lib.bash"

start_scratch
snapshot "$SCRATCH/dist" >"$SCRATCH/source.before"

# An ordinary run, for the scripts and the entries a complete log holds.
reference_run "$SCRATCH/ref"
rm -f "$SCRATCH/bin/sqlplus-ran"

DRIVE="$SCRATCH/c"
make_drive "$DRIVE"
mkdir "$SCRATCH/work/install.log"
default_yes_input "$SCRATCH/input"
OUT="$SCRATCH/output"
run_setup "$DRIVE" "$SCRATCH/input" "$OUT"

expect_status 1
MESSAGE="Error: Could not open install.log for writing."
[ -d "$SCRATCH/work/install.log" ] || fail "the install.log folder was replaced"
[ -z "$(ls -A "$SCRATCH/work/install.log")" ] || fail "something was written into the install.log folder"

# The number of lost entries in the summary is the number of messages
# printed, the summary's own and the closing entry's included, and that is
# every entry an ordinary run logs and the list of failed stages.
# The summary cannot send the operator to the log it could not write.
lost=$(sed -n 's/^These stages failed: install\.log (\([0-9]*\) entries lost)\. See the messages above for details: install\.log could not be written\.$/\1/p' "$OUT")
[ -n "$lost" ] || fail "the summary does not say 'These stages failed: install.log (N entries lost). See the messages above for details: install.log could not be written.' and nothing else"
expect_no_output "$OUT" "See install.log"
total=$(count_lines "$OUT" "$MESSAGE")
[ "$lost" -eq "$total" ] || fail "the summary counts $lost lost entries, but $total were reported"
reference_entries=$(tr -d '\r' <"$SCRATCH/ref/work/install.log" | awk 'NF { c++ } END { print c + 0 }')
[ "$lost" -eq $((reference_entries + 1)) ] ||
    fail "$lost entries reported lost, but an ordinary run logs $reference_entries entries and one more names the failed stages"
# Each message ends its line (it may follow a prompt whose answer came from
# a pipe), so no other text is run into it.
[ "$(grep -ca -- "${MESSAGE//./[.]}\$" "$OUT")" -eq "$total" ] || fail "a lost-entry message has other text run into it"

# The stages did all their work.
check_copied "$SCRATCH/dist" "$DRIVE/XEPDB1/QUARNDEL"
check_copied "$SCRATCH/dist/data" "$DRIVE/XEPDB1/QUARNDEL/data"
expect_output "$OUT" "APP_HOME created."
expect_output "$OUT" "DATA_HOME created."
for i in 0 1 2; do
    expect_output "$OUT" "${SCRIPT_CREATED[$i]}"
    cmp -s "$DRIVE/XEPDB1/QUARNDEL/${SCRIPT_FILES[$i]}" "$SCRATCH/ref/c/XEPDB1/QUARNDEL/${SCRIPT_FILES[$i]}" ||
        fail "${SCRIPT_FILES[$i]} differs from the one an ordinary run writes"
done
[ -e "$SCRATCH/bin/sqlplus-ran" ] || fail "SQL*Plus was not started"
cmp -s "$DRIVE/users/$RUN_USER/Desktop/QUARNDEL.lnk" "$SCRATCH/ref/c/users/$RUN_USER/Desktop/QUARNDEL.lnk" ||
    fail "the desktop shortcut is missing or differs from an ordinary run's"
expect_output "$OUT" "Installation finished with errors. Press RETURN to exit."
expect_no_output "$OUT" "Installation complete."
check_unchanged "$SCRATCH/dist" "$SCRATCH/source.before"

pass "install.log unwritable: $total lost entries reported ($lost counted in the summary), all stages done, exit 1"
