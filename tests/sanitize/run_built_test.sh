#!/usr/bin/env bash
# Runs one test program of the sanitize preset's build (ASan and UBSan): any
# report of theirs ends the program with a failure.
set -uo pipefail
source "$(dirname "$0")/../lib/common.bash"
binary=$1
[ -x "$binary" ] || skip "$binary is missing; the ci preset builds the sanitize preset's tree"
exec "$binary" --gtest_brief=1
