#!/usr/bin/env bash
# File names that the ANSI code page cannot spell, under Wine for the build
# given as the first argument (win32 or win64). The distribution holds l.txt
# and ł.txt with different contents, café.txt, a folder l and a folder ł
# each with an inner.txt of its own, and 日本.txt. An unattended install must
# either copy each hard name under its own name with its own bytes, or
# report it as a copy error that names it and end with exit status 1; it
# must never copy one under (or onto) another name, as a best-fit l.txt or
# a ??.txt. Started from a folder ł beside a folder l, it must name its own
# folder exactly or refuse to start, never install from the folder l.
#
# Wine takes its ANSI code page from the locale: the test runs with
# LANG=C.UTF-8 (the one UTF-8 locale every machine here has), under which a
# fresh prefix has code page 1252, where neither ł nor 日本 can be spelled,
# so the error branch is required there.
set -euo pipefail
source "$(dirname "$0")/common.sh"
use_build "${1:-}"

export LANG=C.UTF-8
unset LC_ALL LC_CTYPE
start_scratch
make_wine_distribution
mkdir -p "$SCRATCH/bin" "$DIST/l" "$DIST/ł"
cp "$SQLPLUS_EXE" "$SCRATCH/bin/"
export WINEPATH=$(windows_path "$SCRATCH/bin")
printf 'plain l\r\n' > "$DIST/l.txt"
printf 'l with stroke, a longer text\r\n' > "$DIST/ł.txt"
printf 'nihon\r\n' > "$DIST/日本.txt"
printf 'coffee\r\n' > "$DIST/café.txt"
printf 'inside the plain folder\r\n' > "$DIST/l/inner.txt"
printf 'inside the stroke folder\r\n' > "$DIST/ł/inner.txt"

ACP=$("$WINE" reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null |
    tr -d '\r' | awk '$1 == "ACP" { print $3 }')
[ -n "$ACP" ] || fail "cannot read the prefix's ANSI code page"
echo "ANSI code page of the prefix: $ACP (LANG=$LANG)"

printf '\r\n\r\n\r\n\r\n\r\n\r\nY\r\nOwner-Pw-1\r\nConnect-Pw-2\r\nSys-Pw-3\r\n\r\n' \
    > "$SCRATCH/work/answers.txt"
status=0
(cd "$SCRATCH/work" && "$WINE" cmd /c "$(windows_path "$DIST")\\setup.exe < answers.txt > output.txt") ||
    status=$?
OUTPUT="$SCRATCH/work/output.txt"
LOG="$SCRATCH/work/install.log"
HOME_HOST="$DRIVE_C/XEPDB1/QUARNDEL"
[ -f "$LOG" ] || { cat "$OUTPUT" >&2; fail "no install.log"; }

# The plain names keep their own bytes, each copied once.
cmp -s "$DIST/l.txt" "$HOME_HOST/l.txt" || fail "l.txt does not hold its own bytes"
cmp -s "$DIST/l/inner.txt" "$HOME_HOST/l/inner.txt" || fail "l\\inner.txt does not hold its own bytes"
copies=$(grep -acE '^Copied file: .*\\l\.txt -> ' "$LOG" || true)
[ "$copies" = 1 ] || fail "l.txt logged as copied $copies times"
# é is in code page 1252: a name outside ASCII is not refused for that.
if [ "$ACP" = 1252 ]; then
    cmp -s "$DIST/café.txt" "$HOME_HOST/café.txt" || fail "café.txt not copied under its name"
fi
copies=$(grep -acE '^Copied file: .*\\l\\inner\.txt -> ' "$LOG" || true)
[ "$copies" = 1 ] || fail "l\\inner.txt logged as copied $copies times"

# Nothing arrives under a name the distribution does not have.
(cd "$DIST" && find . | sort) > "$SCRATCH/source.list"
(cd "$HOME_HOST" && find . | sort) > "$SCRATCH/target.list"
stray=$(comm -13 "$SCRATCH/source.list" "$SCRATCH/target.list" |
    grep -vE '^\./(config/set_env\.(sql|bat)|install/auto_install\.sql)$' || true)
[ -z "$stray" ] || fail "copied under names the distribution does not have: $stray"

# Each hard name: copied whole under its own name, or reported by name.
errors=0
check_name() {
    local relative=$1 description=$2
    if [ -e "$HOME_HOST/$relative" ]; then
        cmp -s "$DIST/$relative" "$HOME_HOST/$relative" || fail "$relative arrived with other bytes"
        echo "copied under its own name: $relative"
        [ "$ACP" != 1252 ] || fail "$relative copied, yet code page 1252 cannot spell it"
    else
        local message="Error: Not copied, its name cannot be spelled in this system's code page: "
        grep -aqF "$message" "$OUTPUT" || { cat "$OUTPUT" >&2; fail "no error message for $relative"; }
        grep -aqF "\\$description" "$OUTPUT" || fail "the error message does not name $relative"
        grep -aqF "\\$description" "$LOG" || fail "the log does not name $relative"
        echo "reported as not copied: $relative ($description)"
        errors=$((errors + 1))
    fi
}
check_name 'ł.txt' '<U+0142>.txt'
check_name '日本.txt' '<U+65E5><U+672C>.txt'
check_name 'ł/inner.txt' '<U+0142>'

if [ "$errors" -gt 0 ]; then
    [ "$status" = 1 ] || fail "exit status $status after copy errors, expected 1"
    grep -aqF 'Error: APP_HOME was not completely created' "$OUTPUT" || fail "copy stage not failed"
    grep -aqF 'Installation completed with errors.' "$LOG" || fail "log does not say errors"
else
    [ "$status" = 0 ] || { cat "$OUTPUT" >&2; fail "exit status $status, expected 0"; }
fi

# Started from a folder ł beside a folder l holding another distribution:
# the setup folder is either named exactly or not at all, and the other
# distribution is never copied.
mkdir -p "$SCRATCH/outer/l" "$SCRATCH/work2"
cp -r "$DIST" "$SCRATCH/outer/ł"
cp -r "$ROOT/dist/." "$SCRATCH/outer/l/"
cp "$SETUP_EXE" "$SCRATCH/outer/l/setup.exe"
printf 'not this distribution\r\n' > "$SCRATCH/outer/l/decoy.txt"
cp "$SCRATCH/work/answers.txt" "$SCRATCH/work2/"
status=0
(cd "$SCRATCH/work2" &&
    "$WINE" cmd /c "$(windows_path "$SCRATCH/outer/ł")\\setup.exe < answers.txt > output.txt") ||
    status=$?
OUTPUT="$SCRATCH/work2/output.txt"
[ ! -e "$HOME_HOST/decoy.txt" ] || fail "the distribution of the folder l was copied"
if grep -aqF 'Error: Could not determine the folder this setup program was started from.' \
        "$OUTPUT"; then
    [ "$status" = 255 ] || fail "exit status $status after refusing to start, expected 255"
    grep -aqF 'Copied file:' "$SCRATCH/work2/install.log" && fail "files copied after refusing"
    echo "refused to start from the folder ł"
else
    [ "$ACP" != 1252 ] || { cat "$OUTPUT" >&2; fail "code page 1252 cannot spell the folder ł"; }
    grep -aqF "outer\\ł" "$OUTPUT" || fail "the setup folder is not named ł"
    echo "started from the folder ł"
fi
# Answers saved as UTF-8 with a byte order mark name C:\Café, which exists:
# they are taken in the ANSI code page and install there. A name the code
# page cannot spell is refused before anything is copied.
mkdir -p "$DRIVE_C/Café" "$DRIVE_C/Łódź" "$SCRATCH/work3"
printf '\xEF\xBB\xBF\r\n\r\n\r\n\r\nC:\\Café\r\nC:\\Café\r\nY\r\nOwner-Pw-1\r\nConnect-Pw-2\r\nSys-Pw-3\r\n\r\n' \
    > "$SCRATCH/work3/answers.txt"
status=0
(cd "$SCRATCH/work3" && "$WINE" cmd /c "$(windows_path "$DIST")\\setup.exe < answers.txt > output.txt") ||
    status=$?
[ "$status" = 0 ] || [ "$status" = 1 ] || { cat "$SCRATCH/work3/output.txt" >&2; fail "UTF-8 answers naming C:\\Café: exit status $status"; }
grep -aqF 'Directory does not exist' "$SCRATCH/work3/output.txt" && fail "UTF-8 answers: C:\\Café taken as missing"
[ -f "$DRIVE_C/Café/XEPDB1/QUARNDEL/com/startora.bat" ] || fail "UTF-8 answers: nothing installed under C:\\Café"
if [ "$ACP" = 1252 ]; then
    printf '\xEF\xBB\xBF\r\n\r\n\r\n\r\nC:\\Łódź\r\nC:\\Łódź\r\nY\r\n\r\n' > "$SCRATCH/work3/answers.txt"
    status=0
    (cd "$SCRATCH/work3" && "$WINE" cmd /c "$(windows_path "$DIST")\\setup.exe < answers.txt > output.txt") ||
        status=$?
    [ "$status" = 255 ] || fail "UTF-8 answers naming C:\\Łódź under code page 1252: exit status $status, expected 255"
    grep -aqF "an answer holds a character that this system's ANSI code page cannot spell" \
        "$SCRATCH/work3/output.txt" || fail "UTF-8 answers naming C:\\Łódź: no refusal"
    [ ! -e "$DRIVE_C/Łódź/XEPDB1" ] || fail "UTF-8 answers naming C:\\Łódź: something was made there"
fi
pass "names outside the code page are never copied under another name; UTF-8 answers are taken in the code page"
