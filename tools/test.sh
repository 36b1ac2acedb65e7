#!/usr/bin/env bash
# Builds everything and runs every test: the Linux, 32-bit and 64-bit
# Windows builds, the native tests, the sanitizer build and the fuzzer, the
# operator's zips, the fault-injection runs and the Wine tests.
# Installs missing Debian packages first when run as root.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
passed=0
failed=0
failures=()

step() {  # step NAME COMMAND...: runs one group, counts it
    local name=$1
    shift
    echo
    echo "==== $name"
    local start=$SECONDS
    if "$@"; then
        passed=$((passed + 1))
        echo "---- $name: ok ($((SECONDS - start)) s)"
    else
        failed=$((failed + 1))
        failures+=("$name")
        echo "---- $name: FAILED ($((SECONDS - start)) s)"
    fi
}

build() {
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j2
}

check_exe() {  # the shipping exe: a 32-bit console program needing only system DLLs
    local exe=$1 format=$2 objdump=$3
    $objdump -f "$exe" | grep -q "file format $format" || { echo "$exe is not $format"; return 1; }
    local dlls
    dlls=$($objdump -p "$exe" 2>/dev/null | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
    echo "$exe imports: $dlls"
    for dll in $dlls; do
        case "$dll" in
            kernel32.dll|msvcrt.dll|ole32.dll|shell32.dll|user32.dll|advapi32.dll|api-ms-win-*) ;;
            *) echo "$exe needs $dll, which Windows does not provide"; return 1 ;;
        esac
    done
}

fuzz() {
    local corpus
    corpus=$(mktemp -d /tmp/setup-fuzz-corpus-XXXXXX)
    "$ROOT/build/sanitize/tests/fuzz/dialogue_fuzz" -max_total_time="$FUZZ_SECONDS" -timeout=10 \
        -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 "$corpus" "$ROOT/tests/fuzz/corpus" 2>&1 | tail -8
    local status=${PIPESTATUS[0]}
    rm -rf "$corpus"
    return "$status"
}

bash tools/install-packages.sh || exit 1

step "build linux" build linux
step "build win32" build win32
step "build win64" build win64
step "build sanitize" build sanitize
step "win32 exe is a self-contained 32-bit PE" check_exe build/win32/setup.exe pei-i386 i686-w64-mingw32-objdump
step "win64 exe is a self-contained 64-bit PE" check_exe build/win64/setup.exe pei-x86-64 x86_64-w64-mingw32-objdump
step "native tests" ctest --test-dir build/linux --output-on-failure -j2
step "native tests under ASan and UBSan" ctest --test-dir build/sanitize --output-on-failure -j2
step "dialogue fuzzer (${FUZZ_SECONDS} s)" fuzz
step "operator zips" bash tools/package.sh
for script in tests/faults/*.sh; do
    [ -e "$script" ] && step "faults: $(basename "$script" .sh)" bash "$script"
done
for script in tests/wine/*_test.sh; do
    [ -e "$script" ] && step "wine: $(basename "$script" _test.sh)" bash "$script"
done

echo
if [ "$failed" -gt 0 ]; then
    printf 'failed: %s\n' "${failures[@]}"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
