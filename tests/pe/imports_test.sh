#!/usr/bin/env bash
# The Windows exe of the build given (win32, the shipping one, or win64) is a
# PE of the right width that imports only DLLs every Windows has: nothing
# has to ship beside it.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
case "${1:-}" in
    win32) format=pei-i386; objdump=i686-w64-mingw32-objdump ;;
    win64) format=pei-x86-64; objdump=x86_64-w64-mingw32-objdump ;;
    *) echo "usage: $0 win32|win64" >&2; exit 2 ;;
esac
exe="$ROOT/build/$1/setup.exe"
[ -f "$exe" ] || { echo "FAIL: $exe is missing; build the $1 preset first" >&2; exit 1; }
command -v "$objdump" >/dev/null || { echo "SKIPPED: $objdump is not installed"; exit 77; }
"$objdump" -f "$exe" | grep -q "file format $format" || { echo "FAIL: $exe is not $format" >&2; exit 1; }
dlls=$("$objdump" -p "$exe" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$dlls" ] || { echo "FAIL: no imports read from $exe" >&2; exit 1; }
echo "$exe imports:" $dlls
for dll in $dlls; do
    case "$dll" in
        kernel32.dll|msvcrt.dll|ole32.dll|shell32.dll|user32.dll|advapi32.dll|api-ms-win-*) ;;
        *) echo "FAIL: $exe needs $dll, which Windows does not provide" >&2; exit 1 ;;
    esac
done
echo "PASS: $1 exe is a self-contained $format"
