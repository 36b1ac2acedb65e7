#!/usr/bin/env bash
# Builds everything and runs every test: installs the Debian packages that
# are missing, then runs the `ci` workflow in build/ci (the native build
# there, the win32, win64 and sanitize builds in their own trees, the
# operator's zips, and every CTest test: unit, pty, faults, sanitize, fuzz,
# PE checks, Wine on both Windows builds).
# Tests that cannot run here are reported as skipped, with their reason.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

bash tools/install-packages.sh || exit 1

LOG=$(mktemp /tmp/setup-test-XXXXXX.log)
# The Wine tests copy one prefix made for this run, made here while the
# builds compile: minutes where 32-bit code is emulated.
mkdir -p build/ci
rm -rf build/ci/wine-prefix build/ci/wine-prefix.home
SETUP_PRESET_TREES=$ROOT/build/ci bash -c 'source tests/wine/common.sh && make_template_prefix' >/dev/null 2>&1 &
PREFIX_JOB=$!
trap 'rm -f "$LOG"; kill "$PREFIX_JOB" 2>/dev/null' EXIT
echo "32-bit programs run here: $(bash tools/run-32bit.sh mode)"
cmake --workflow --preset ci 2>&1 | tee "$LOG"
status=${PIPESTATUS[0]}

# CTest's summary: "N% tests passed, F tests failed out of T", then the
# skipped ones under "The following tests did not run:".
total=$(sed -n 's/.*tests passed, [0-9]* tests* failed out of \([0-9]*\).*/\1/p' "$LOG" | tail -1)
failed=$(sed -n 's/.*tests passed, \([0-9]*\) tests* failed out of.*/\1/p' "$LOG" | tail -1)
skipped=$(grep -cE '^[[:space:]]*[0-9]+ - .*\(Skipped\)$' "$LOG")
echo
if [ -z "$total" ]; then
    echo "The build did not get as far as the tests."
    echo "0 passed, 1 failed"
    exit 1
fi
if [ "$skipped" -gt 0 ]; then
    echo "Skipped, and why:"
    # Shell tests say "SKIPPED: reason"; GoogleTest prints "file:line: Skipped"
    # with the reason on the next line.
    {
        grep -hE '^SKIPPED: ' build/ci/Testing/Temporary/LastTest*.log
        grep -hA1 -E '^/.*: Skipped$' build/ci/Testing/Temporary/LastTest*.log |
            grep -vE ': Skipped$|^--$' | sed 's/^/SKIPPED: /'
    } 2>/dev/null | sort -u | sed 's/^/  /'
fi
echo "$((total - failed - skipped)) passed, $failed failed, $skipped skipped"
[ "$status" -eq 0 ] && [ "$failed" -eq 0 ]
