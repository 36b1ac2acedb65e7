#!/usr/bin/env bash
# The Windows exe of the build given (win32, the shipping one, or win64) is a
# PE of the right width that imports only DLLs every Windows has: nothing
# has to ship beside it. The DLL search is restricted to System32 at start:
# SetDefaultDllDirectories is looked up, never imported, so that the exe
# starts where it is missing, and SetDllDirectoryW, the fallback, is there.
set -euo pipefail
source "$(dirname "$0")/../lib/common.bash"
BUILD=${1:-}
case "$BUILD" in
    win32) format=pei-i386; objdump=i686-w64-mingw32-objdump ;;
    win64) format=pei-x86-64; objdump=x86_64-w64-mingw32-objdump ;;
    *) echo "usage: $0 win32|win64" >&2; exit 2 ;;
esac
exe="$PRESET_TREES/$BUILD/setup.exe"
[ -f "$exe" ] || skip "$exe is missing; the ci preset builds the $BUILD preset's tree"
command -v "$objdump" >/dev/null || skip "$objdump is not installed"
"$objdump" -f "$exe" | grep -q "file format $format" || fail "$exe is not $format"
dlls=$("$objdump" -p "$exe" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$dlls" ] || fail "no imports read from $exe"
echo "$exe imports:" $dlls
for dll in $dlls; do
    case "$dll" in
        kernel32.dll|msvcrt.dll|ole32.dll|shell32.dll|user32.dll|advapi32.dll|api-ms-win-*) ;;
        *) fail "$exe needs $dll, which Windows does not provide" ;;
    esac
done
functions=$("$objdump" -p "$exe" | awk '/DLL Name:/ { dll = tolower($3) } NF == 3 && $1 ~ /^[0-9a-f]+$/ { print dll ":" $3 }')
echo "$functions" | grep -qx 'kernel32.dll:SetDllDirectoryW' || fail "$exe does not import SetDllDirectoryW"
if echo "$functions" | grep -q ':SetDefaultDllDirectories$'; then
    fail "$exe imports SetDefaultDllDirectories and would not start on a Windows without it"
fi
if echo "$functions" | grep -q ':SetProcessMitigationPolicy$'; then
    fail "$exe imports SetProcessMitigationPolicy and would not start on a Windows without it"
fi
pass "the exe is a self-contained $format, SetDefaultDllDirectories and SetProcessMitigationPolicy looked up at run time"
