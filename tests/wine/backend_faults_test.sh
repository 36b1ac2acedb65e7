#!/usr/bin/env bash
# The fault seam's cases on the Win32 backend: the win32 or win64 tree (the
# first argument) runs its backend_faults_tests.exe under Wine.
set -euo pipefail
source "$(dirname "$0")/common.sh"
case "${1:-}" in
    win32) WINE=/usr/lib/wine/wine ;;
    win64) WINE=/usr/lib/wine/wine64 ;;
    *) echo "usage: $0 win32|win64" >&2; exit 2 ;;
esac
TESTS_EXE="$PRESET_TREES/$1/tests/backend_faults_tests.exe"
[ -x "$WINE" ] || skip "no Wine loader $WINE"
[ -f "$TESTS_EXE" ] || skip "$TESTS_EXE is missing (build the $1 preset with -DSETUP_TESTS=ON; it needs /usr/src/googletest)"
"$WINE" --version >/dev/null 2>&1 || skip "this machine cannot run $1 programs"
make_scratch wine
export WINEPREFIX="$SCRATCH/prefix" WINEDEBUG=-all HOME="$SCRATCH/home"
mkdir -p "$HOME"
on_exit wineserver_stop
"$WINE" "$TESTS_EXE" >"$SCRATCH/output" 2>&1 || { cat "$SCRATCH/output"; fail "the fault cases failed"; }
grep -q '^\[  PASSED  \] [1-9][0-9]* tests\.' "$SCRATCH/output" || { cat "$SCRATCH/output"; fail "no passed tests reported"; }
grep -q '^\[  SKIPPED \]' "$SCRATCH/output" && { cat "$SCRATCH/output"; fail "fault cases were skipped"; }
pass "$(grep '^\[  PASSED  \]' "$SCRATCH/output")"
