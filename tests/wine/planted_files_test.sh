#!/usr/bin/env bash
# build/win32/setup.exe or build/win64/setup.exe (the first argument) under
# Wine, started through cmd from a folder (a download folder, say) where
# someone has left a sqlplus.bat and a uxtheme.dll, with the same two beside
# setup.exe: neither runs. SQL*Plus is the stand-in found on PATH (in a
# folder with a ';' in its name, quoted there, which cmd reads as one), the log
# shows the command as always, and every DLL comes from System32, even one
# loaded late (uxtheme.dll, for the shortcut) that Wine is told to take from
# anywhere but its own copy first (WINEDLLOVERRIDES=uxtheme=n,b), as Windows
# takes any DLL found first.
set -euo pipefail
source "$(dirname "$0")/common.sh"
use_build "${1:-}"
PLANTED_DLL="$PRESET_TREES/$BUILD/tests-wine/planted_dll.dll"
[ -f "$PLANTED_DLL" ] || skip "$PLANTED_DLL is missing; the $BUILD preset builds it"

start_scratch
make_wine_distribution
mkdir -p "$SCRATCH/my;bin"
cp "$SQLPLUS_EXE" "$SCRATCH/my;bin/"
for folder in "$DIST" "$WORK"; do
    printf '@echo PLANTED %%*\r\n@echo ran> "%s"\r\n' "$(windows_path "$folder/planted-sqlplus-ran")" \
        > "$folder/sqlplus.bat"
    cp "$PLANTED_DLL" "$folder/uxtheme.dll"
done

printf '\r\n\r\n\r\n\r\n\r\n\r\nY\r\nOwner-1\r\nConnect-2\r\nSys-3\r\n\r\n' > "$WORK/answers.txt"
status=0
(cd "$WORK" && WINEPATH="\"$(windows_path "$SCRATCH/my;bin")\"" WINEDLLOVERRIDES=uxtheme=n,b \
    WINEDEBUG=+loaddll,+pid "$HARNESS_WINE" cmd /c "$(windows_path "$DIST")\\setup.exe < answers.txt > output.txt" \
    2> "$SCRATCH/loaddll.txt") || status=$?
OUTPUT="$WORK/output.txt"
on_failure 'cat "$OUTPUT"'
[ "$status" = 0 ] || fail "exit status $status, expected 0"

for folder in "$DIST" "$WORK"; do
    [ ! -e "$folder/planted-sqlplus-ran" ] || fail "the sqlplus.bat planted in $folder ran"
    [ ! -e "$folder/uxtheme.dll.loaded" ] || fail "the uxtheme.dll planted in $folder was loaded"
done
if grep -qF PLANTED "$OUTPUT"; then fail "a planted sqlplus.bat ran"; fi
COMMAND='Executing: sqlplus / as sysdba @"C:\XEPDB1\QUARNDEL\install\auto_install.sql"'
tr -d '\r' < "$WORK/install.log" | grep -qxF "$COMMAND" || fail "the command is not logged as it reads"
tr -d '\r' < "$WORK/install.log" | grep -qxF "Database objects created." || fail "SQL*Plus did not run"
"$ROOT/tests/wine/check_transcript.sh" "$WORK/sqlplus-transcript.log" || fail "SQL*Plus transcript"

# What the trace says was loaded, and from where (its backslashes doubled),
# each line led by the loading process's id; setup.exe's own loads apart.
tr -d '\r' < "$SCRATCH/loaddll.txt" | sed -n 's/^\([0-9a-f]*\):.*Loaded L"\([^"]*\)".*/\1 \2/p' |
    sed 's/\\\\/\\/g' > "$SCRATCH/loaded.txt"
setup_process=$(grep -iF " $(windows_path "$DIST")\\setup.exe" "$SCRATCH/loaded.txt" | head -1 | cut -d' ' -f1)
[ -n "$setup_process" ] || fail "no loader trace of setup.exe"
for folder in "$DIST" "$WORK"; do
    if grep -iF " $(windows_path "$folder")\\" "$SCRATCH/loaded.txt" | grep -qi '\.dll$'; then
        fail "a DLL was loaded from $folder: $(grep -iF " $(windows_path "$folder")\\" "$SCRATCH/loaded.txt")"
    fi
done
# Wine names a 32-bit process's System32 so too.
grep -qix "$setup_process C:\\\\windows\\\\sys\\(tem32\\|wow64\\)\\\\uxtheme\\.dll" "$SCRATCH/loaded.txt" \
    || skip "every check passed, but setup.exe loaded no uxtheme.dll late here, so the DLL search went unseen"
pass "neither the planted sqlplus.bat nor the planted DLL ran; SQL*Plus came from PATH, uxtheme.dll from System32"
