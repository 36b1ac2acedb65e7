#!/usr/bin/env bash
# Runs one test program of the sanitize preset's build (ASan and UBSan): any
# report of theirs ends the program with a failure.
set -uo pipefail
binary=$1
[ -x "$binary" ] || { echo "FAIL: $binary is missing; build the sanitize preset first" >&2; exit 1; }
exec "$binary" --gtest_brief=1
