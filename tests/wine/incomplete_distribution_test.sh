#!/usr/bin/env bash
# build/win32/setup.exe or build/win64/setup.exe (the first argument) under
# Wine, started from a folder that is not the whole distribution: one without
# install, one without com, and setup.exe alone (what Explorer runs when the
# operator opens the zip and starts setup.exe from inside it). Each run must
# say which folders are missing and that the zip must be extracted first,
# log it, ask nothing, copy nothing, and end with the abandonment status -1.
#
# The status -1 as seen here: the Unix exit status of the Wine process that
# runs setup.exe is 255 (its low eight bits), and cmd's %ERRORLEVEL% after
# setup.exe is -1. The test checks both.
set -euo pipefail
source "$(dirname "$0")/common.sh"
use_build "${1:-}"

start_scratch
# Wine links the prefix's desktop to the host user's; give this prefix an
# empty one of its own, so that what lands there comes from these runs.
for desktop in "$DRIVE_C"/users/*/Desktop; do
    if [ -L "$desktop" ]; then rm "$desktop" && mkdir "$desktop"; fi
done
ls -d "$DRIVE_C"/users/*/Desktop >/dev/null 2>&1 || fail "test setup: the prefix has no desktop folder"
[ -z "$(find "$DRIVE_C"/users/*/Desktop -mindepth 1 | head -1)" ] || fail "test setup: the desktop is not empty"
# A SQL*Plus that notes it ran: none of these runs may start it.
make_fake_sqlplus "$SCRATCH/bin" "$SCRATCH/sqlplus-ran"
export WINEPATH=$(windows_path "$SCRATCH/bin")
# Every answer and the confirmation, as an operator's answers file would have them.
printf '\r\n\r\n\r\n\r\n\r\n\r\nY\r\n\r\n' >"$SCRATCH/answers.txt"

# check_refused NAME FOLDER LISTED: runs FOLDER\setup.exe twice (directly and
# through cmd) and checks the refusal that lists LISTED.
check_refused() {
    local name=$1 folder=$2 listed=$3
    local work="$SCRATCH/work-$name" folder_win
    folder_win=$(windows_path "$folder")
    mkdir -p "$work"
    (cd "$folder" && find . | LC_ALL=C sort) >"$SCRATCH/$name.before"

    # Directly: the Wine process's own exit status.
    local status=0
    (cd "$work" && "$WINE" "$folder/setup.exe" <"$SCRATCH/answers.txt" >"$work/output.txt" 2>&1) || status=$?
    [ "$status" = 255 ] || { cat "$work/output.txt" >&2; fail "$name: Wine exit status $status, expected 255 (-1)"; }

    local output="$SCRATCH/$name.output"
    tr -d '\r' <"$work/output.txt" >"$output"
    local message="Error: The distribution is not complete: the setup folder $folder_win lacks these folders: $listed."
    local advice="Extract the whole zip file first, then start setup.exe from the extracted folder."
    grep -qxF -- "$message" "$output" || { cat "$output" >&2; fail "$name: no message naming the missing folders"; }
    grep -qxF -- "$advice" "$output" || fail "$name: no advice to extract the whole zip"
    grep -qxF "Installation abandoned." "$output" || fail "$name: not abandoned"
    ! grep -qF "Enter the" "$output" || fail "$name: a question was asked"
    grep -qF "ORACLE DEMO APPLICATION SETUP" "$output" || fail "$name: no banner before the refusal"

    # install.log in the working folder: exactly these entries, CR LF.
    printf '%s\r\n' "ORACLE QUARNDEL INSTALLATION LOG" "Setup started from directory: $folder_win" \
        "$message" "$advice" "Installation abandoned." >"$SCRATCH/$name.log.expected"
    cmp -s "$work/install.log" "$SCRATCH/$name.log.expected" || {
        diff <(cat -A "$SCRATCH/$name.log.expected") <(cat -A "$work/install.log") >&2 || true
        fail "$name: install.log differs"
    }

    # Through cmd, as an operator's batch file would run it: %ERRORLEVEL%.
    rm -f "$work/install.log"
    printf '@"%s\\setup.exe" < "%s" > output-cmd.txt\r\n@echo %%ERRORLEVEL%%> errorlevel.txt\r\n' \
        "$folder_win" "$(windows_path "$SCRATCH/answers.txt")" >"$work/run.bat"
    (cd "$work" && "$WINE" cmd /c run.bat) >/dev/null 2>&1 || true
    [ "$(tr -d '\r\n ' <"$work/errorlevel.txt")" = "-1" ] ||
        fail "$name: cmd's ERRORLEVEL after setup.exe is $(cat "$work/errorlevel.txt"), expected -1"
    tr -d '\r' <"$work/output-cmd.txt" | grep -qxF -- "$message" || fail "$name: no message when run through cmd"
    cmp -s "$work/install.log" "$SCRATCH/$name.log.expected" || fail "$name: install.log differs when run through cmd"

    # Nothing copied or created anywhere.
    [ ! -e "$DRIVE_C/XEPDB1" ] || fail "$name: C:\\XEPDB1 was created"
    [ -z "$(find "$DRIVE_C"/users/*/Desktop -mindepth 1 | head -1)" ] || fail "$name: something was put on the desktop"
    [ ! -e "$SCRATCH/sqlplus-ran" ] || fail "$name: SQL*Plus ran"
    (cd "$folder" && find . | LC_ALL=C sort) | cmp -s - "$SCRATCH/$name.before" ||
        fail "$name: the setup folder was changed"
}

make_wine_distribution
WHOLE="$DIST"
for missing in install com; do
    DIST="$SCRATCH/without-$missing"
    cp -r "$WHOLE" "$DIST"
    rm -r "${DIST:?}/$missing"
    check_refused "without-$missing" "$DIST" "$missing"
done
mkdir "$SCRATCH/alone"
cp "$SETUP_EXE" "$SCRATCH/alone/setup.exe"
check_refused alone "$SCRATCH/alone" "config, install, com, data"

pass "incomplete distributions refused before the first question under Wine: exit 255 from Wine, ERRORLEVEL -1 in cmd"
