#!/usr/bin/env bash
# Runs the generated set_env.bat (Windows path $1) under Wine's cmd, with and
# without STARTORA, and checks that it sets exactly its variables.
# Needs WINEPREFIX and WINEDEBUG set by the caller.
set -euo pipefail
source "$(dirname "$0")/../lib/common.bash"
BAT=$1
WINE=${WINE:-/usr/lib/wine/wine64}
make_scratch set-env-probe
PROBE=$SCRATCH
PROBE_WIN=$(windows_path "$PROBE")

run_probe() {  # $1: argument for set_env.bat; standard input goes to SET /P
    printf '@echo off\r\nset > "%s\\before.txt"\r\ncall "%s" %s\r\nset > "%s\\after.txt"\r\n' \
        "$PROBE_WIN" "$BAT" "$1" "$PROBE_WIN" > "$PROBE/probe.bat"
    "${HARNESS_WINE:-$WINE}" cmd /c "$PROBE_WIN\\probe.bat" > "$PROBE/output.txt" 2>&1
    tr -d '\r' < "$PROBE/before.txt" | sort > "$PROBE/before.sorted"
    tr -d '\r' < "$PROBE/after.txt" | sort > "$PROBE/after.sorted"
    comm -13 "$PROBE/before.sorted" "$PROBE/after.sorted"
}

expected='APP_HOME="C:\XEPDB1\QUARNDEL"
APP_OWNER=QUARNDEL
CONNECT_USER=DEMO_CONNECT
DATA_HOME=C:\XEPDB1\QUARNDEL\data
DBCONNECT=//localhost:1521/XEPDB1
DBSERVICE=XEPDB1
PORT=1521'

got=$(run_probe STARTORA < /dev/null)
if [ "$got" != "$expected" ]; then
    echo "with STARTORA, set_env.bat changed:" >&2
    echo "$got" >&2
    exit 1
fi
got=$(echo "Typed-Password" | run_probe "")
if [ "$got" != "$(printf '%s\nCONNECT_PWD=Typed-Password' "$expected" | sort)" ]; then
    echo "without arguments, set_env.bat changed:" >&2
    echo "$got" >&2
    exit 1
fi
grep -qF "Enter the password for DEMO_CONNECT: " "$PROBE/output.txt" || { echo "no password prompt" >&2; exit 1; }
