#!/usr/bin/env bash
# The fault seam's cases on the Win32 backend: the win32 or win64 tree (the
# first argument) runs its backend_faults_tests.exe under Wine.
set -euo pipefail
source "$(dirname "$0")/common.sh"
use_build "${1:-}"
TESTS_EXE="$PRESET_TREES/$BUILD/tests/backend_faults_tests.exe"
[ -f "$TESTS_EXE" ] || skip "$TESTS_EXE is missing (build the $BUILD preset with -DSETUP_TESTS=ON; it needs /usr/src/googletest)"
start_scratch
"$WINE" "$TESTS_EXE" >"$SCRATCH/output" 2>&1 || { cat "$SCRATCH/output"; fail "the fault cases failed"; }
grep -q '^\[  PASSED  \] [1-9][0-9]* tests\.' "$SCRATCH/output" || { cat "$SCRATCH/output"; fail "no passed tests reported"; }
grep -q '^\[  SKIPPED \]' "$SCRATCH/output" && { cat "$SCRATCH/output"; fail "fault cases were skipped"; }
pass "$(grep '^\[  PASSED  \]' "$SCRATCH/output")"
