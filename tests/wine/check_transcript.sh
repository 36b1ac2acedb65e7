#!/usr/bin/env bash
# Checks a stand-in SQL*Plus transcript ($1) of a default install into
# C:\XEPDB1\QUARNDEL: auto_install.sql ran set_env.sql first, then the four
# installation scripts in order, each with exactly its arguments, and every
# password was masked (the lines of tests/golden/default_install_scripts.txt).
set -euo pipefail
TRANSCRIPT=$1
expected=$(cat "$(dirname "$0")/../golden/default_install_scripts.txt")
got=$(tr -d '\r' < "$TRANSCRIPT" | grep '^SCRIPT ')
if [ "$got" != "$expected" ]; then
    echo "scripts run:" >&2
    echo "$got" >&2
    echo "expected:" >&2
    echo "$expected" >&2
    exit 1
fi
if tr -d '\r' < "$TRANSCRIPT" | grep -E '^(SP2-|.*ORA-)'; then
    echo "SQL*Plus reported errors" >&2
    exit 1
fi
tr -d '\r' < "$TRANSCRIPT" | grep -q '^EXIT 0' || { echo "SQL*Plus did not exit with 0" >&2; exit 1; }
