#!/usr/bin/env bash
# build/win32/setup.exe or build/win64/setup.exe (the first argument) under
# Wine, answered from a file through cmd, with no sqlplus on PATH: cmd's
# 9009 becomes a message that says SQL*Plus was not found, the run is logged
# to its end, and it ends with exit status 1.
set -euo pipefail
source "$(dirname "$0")/common.sh"
use_build "${1:-}"

start_scratch
make_wine_distribution
DIST_WIN=$(windows_path "$DIST")

printf '\r\n\r\n\r\n\r\n\r\n\r\nY\r\n\r\n' > "$WORK/answers.txt"
status=0
(cd "$WORK" && "$WINE" cmd /c "$DIST_WIN\\setup.exe < answers.txt > output.txt 2>&1") || status=$?
OUTPUT="$WORK/output.txt"
NOT_FOUND="Error: sqlplus (SQL*Plus) was not found. It must be on PATH; Oracle Express installs it. The database objects were not created."
[ "$status" = 1 ] || { cat "$OUTPUT" >&2; fail "exit status $status, expected 1"; }
tr -d '\r' < "$OUTPUT" | grep -qxF "$NOT_FOUND" || { cat "$OUTPUT" >&2; fail "no message saying sqlplus is missing"; }
tr -d '\r' < "$OUTPUT" | grep -qF "exit status 9009" && fail "reported as a bare exit status"
tr -d '\r' < "$WORK/install.log" | grep -qxF "$NOT_FOUND" || fail "the missing sqlplus is not logged"
tr -d '\r' < "$WORK/install.log" | tail -1 | grep -qxF "Installation completed with errors." \
    || fail "the log does not end with the run's end"
pass "sqlplus missing from PATH is said in words, logged, exit status 1"
