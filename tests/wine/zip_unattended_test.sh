#!/usr/bin/env bash
# The operator zip of the build given as the first argument (win32 or win64)
# unpacked into the Wine prefix, then a complete
# default install run through Wine's cmd with every answer and password
# coming from one file (no person, no console): setup.exe and the
# stand-in SQL*Plus it starts share that input. SETUP_ZIP names another
# zip of that build to install (a signed one). The file begins with the
# UTF-8 byte order mark that Notepad writes, which must not reach an answer.
set -euo pipefail
source "$(dirname "$0")/common.sh"
use_build "${1:-}"

ZIP=${SETUP_ZIP:-$PRESET_TREES/package/quarndel-setup-$(project_version)-$BUILD.zip}
[ -f "$ZIP" ] || skip "$ZIP is missing; the ci preset packs it (tools/package.sh)"
start_scratch
mkdir -p "$DRIVE_C/Downloads" "$SCRATCH/bin"
unzip -q "$ZIP" -d "$DRIVE_C/Downloads"
UNPACKED="$DRIVE_C/Downloads/quarndel-setup"
[ -f "$UNPACKED/setup.exe" ] || fail "no setup.exe at the root of the unpacked zip"
cp "$SQLPLUS_EXE" "$SCRATCH/bin/"
export WINEPATH=$(windows_path "$SCRATCH/bin")

printf '\xEF\xBB\xBF\r\n\r\n\r\n\r\n\r\n\r\nY\r\nOwner-Zip-1\r\nConnect-Zip-2\r\nSys-Zip-3\r\n\r\n' > "$SCRATCH/work/answers.txt"
status=0
(cd "$SCRATCH/work" && "$HARNESS_WINE" cmd /c 'C:\Downloads\quarndel-setup\setup.exe < answers.txt > output.txt') || status=$?
OUTPUT="$SCRATCH/work/output.txt"
[ "$status" = 0 ] || { cat "$OUTPUT" >&2; fail "exit status $status, expected 0"; }

# Redirected output is clean text: no cursor or colour control sequences.
if grep -q $'\e' "$OUTPUT"; then fail "control sequences in redirected output"; fi
grep -qF 'Source files extracted to: C:\Downloads\quarndel-setup' "$OUTPUT" || fail "source folder"
grep -qF 'Installation complete. Press RETURN to exit.' "$OUTPUT" || fail "no completion"
grep -qxF $'DBSERVICE = XEPDB1\r' "$OUTPUT" || fail "the byte order mark reached the first answer"

HOME_HOST="$DRIVE_C/XEPDB1/QUARNDEL"
(cd "$UNPACKED" && find . -type f | sort) > "$SCRATCH/unpacked.list"
while read -r file; do
    cmp -s "$UNPACKED/$file" "$HOME_HOST/$file" || fail "$file was not copied whole"
done < "$SCRATCH/unpacked.list"
for script in config/set_env.sql config/set_env.bat install/auto_install.sql; do
    [ -s "$HOME_HOST/$script" ] || fail "$script missing"
done
ls "$DRIVE_C"/users/*/Desktop/QUARNDEL.lnk >/dev/null 2>&1 || fail "no shortcut"
"$ROOT/tests/wine/check_transcript.sh" "$SCRATCH/work/sqlplus-transcript.log" || fail "SQL*Plus transcript"
if grep -rlaE 'Owner-Zip-1|Connect-Zip-2|Sys-Zip-3' "$HOME_HOST" "$SCRATCH/work/install.log" \
        "$SCRATCH/work/sqlplus-transcript.log" "$DRIVE_C/users" 2>/dev/null; then
    fail "a password was written to a file"
fi
grep -qF "Installation completed." "$SCRATCH/work/install.log" || fail "log incomplete"
pass "operator zip installs unattended under Wine"
