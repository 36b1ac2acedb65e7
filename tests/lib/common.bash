# Shared by the shell tests (tests/faults, tests/wine): the verdicts, a
# scratch folder removed at exit, the Windows form of host paths, the
# distribution and a stand-in SQL*Plus. Source it; it defines functions and
# a few variables only. Named .bash so that it is never taken for a test.
#
# The verdicts: fail (exit 1), skip (exit 77, which CTest reports as skipped,
# never as passed), pass (exit 0). Each names the test, and the build when
# BUILD is set.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# The folder holding the presets' trees (win32/, win64/, sanitize/) and the
# zips (package/): a developer's build/, or build/ci when CTest runs the test
# from the ci tree, which builds trees of its own there and says so in
# SETUP_PRESET_TREES.
PRESET_TREES=${SETUP_PRESET_TREES:-$ROOT/build}
TEST_NAME=$(basename "$0" .sh)
CLEANUP_COMMANDS=()
FAILURE_COMMANDS=()

# The setup's questions in order (tests/prompts.txt), the confirmation last:
# PROMPT_TEXTS, and at the same index PROMPT_ANSWERS, what a default install
# types there (empty: Enter).
PROMPT_TEXTS=()
PROMPT_ANSWERS=()
while IFS= read -r prompt_line; do
    [[ $prompt_line == "#"* ]] && continue
    PROMPT_TEXTS+=("${prompt_line%%$'\t'*}")
    prompt_line=${prompt_line#"${PROMPT_TEXTS[-1]}"}
    prompt_line=${prompt_line#$'\t'}
    PROMPT_ANSWERS+=("${prompt_line%%$'\t'*}")
done <"$ROOT/tests/prompts.txt"
unset prompt_line

# same_files FROM... -- TO...: FROM[i] and TO[i] are the same bytes (the
# same SHA-256, all summed in one pass) for each i; prints each i where not.
same_files() {
    local -a from=() to=()
    while [ "$1" != -- ]; do from+=("$1"); shift; done
    shift
    [ $# -gt 0 ] || return 0
    to=("$@")
    local -A sums=()
    local sum path i
    while read -r sum path; do sums[$path]=$sum; done < <(sha256sum -- "${from[@]}" "${to[@]}" 2>/dev/null)
    for i in "${!from[@]}"; do
        [ -n "${sums[${from[i]}]:-}" ] && [ "${sums[${from[i]}]}" = "${sums[${to[i]}]:-}" ] || echo "$i"
    done
}

# prompt_answer I [TEXT=ANSWER]...: prints a default install's answer at
# prompt I, or ANSWER where the prompt's text holds TEXT (its lines after
# the first are typed at the same prompt when it asks again).
prompt_answer() {
    local i=$1 given answer=${PROMPT_ANSWERS[$1]}
    shift
    for given in "$@"; do
        [[ ${PROMPT_TEXTS[i]} != *"${given%%=*}"* ]] || answer=${given#*=}
    done
    printf '%s\n' "$answer"
}

# default_answers [COUNT]: a default install's answers to the first COUNT
# prompts (all by default), a line each.
default_answers() {
    local i
    for ((i = 0; i < ${1:-${#PROMPT_ANSWERS[@]}}; i++)); do printf '%s\n' "${PROMPT_ANSWERS[i]}"; done
}

test_label() {
    echo "$TEST_NAME${BUILD:+ $BUILD}"
}

# After the message, each command registered with on_failure shows what it
# knows (the last output, the screen) on standard error.
fail() {
    echo "FAIL: $(test_label): $*" >&2
    local command
    for command in "${FAILURE_COMMANDS[@]}"; do
        eval "$command" >&2 || true
    done
    exit 1
}

# A test that cannot run here says so and why.
skip() {
    echo "SKIPPED: $(test_label): $*"
    exit 77
}

pass() {
    echo "PASS: $(test_label): $*"
    exit 0
}

on_failure() {
    FAILURE_COMMANDS+=("$1")
}

# Commands run at exit, last registered first (an unmount before the
# removal of the folder it is in).
on_exit() {
    CLEANUP_COMMANDS+=("$1")
}

# Keeps the test's own exit status: nothing here may fail the run.
run_cleanup() {
    local status=$? i
    for ((i = ${#CLEANUP_COMMANDS[@]} - 1; i >= 0; i--)); do
        eval "${CLEANUP_COMMANDS[$i]}" >/dev/null 2>&1 || true
    done
    if [ -n "${SCRATCH:-}" ] && [ -d "$SCRATCH" ]; then
        chmod -R u+rwx "$SCRATCH" 2>/dev/null || true
        if [ "$status" -ne 0 ] && [ "$status" -ne 77 ] && [ -n "${KEEP_ON_FAILURE+set}" ]; then
            eval "$KEEP_ON_FAILURE" >/dev/null 2>&1 || true
            echo "Kept for inspection: $SCRATCH" >&2
        else
            rm -rf "$SCRATCH" 2>/dev/null || true
        fi
    fi
    exit "$status"
}

# keep_scratch_on_failure [COMMAND]: a failed test keeps its scratch folder
# and says where it is; COMMAND first removes what is not worth keeping.
keep_scratch_on_failure() {
    KEEP_ON_FAILURE=${1:-}
}

# make_scratch KIND: SCRATCH, a folder of this test's own under /tmp,
# removed with everything in it at exit (after the registered commands).
make_scratch() {
    SCRATCH=$(mktemp -d "/tmp/setup-$1-$TEST_NAME-XXXXXX")
    chmod 0755 "$SCRATCH"
    trap run_cleanup EXIT
    trap 'exit 130' INT TERM
}

# The Windows form of a host path as the program sees it: Z: is the host
# root (under Wine, and in the native build's drive mapping alike).
windows_path() {
    echo "Z:$1" | tr '/' '\\'
}

# The version of the root CMakeLists.txt, the one place it is set.
project_version() {
    sed -n 's/^project(quarndel_setup VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' "$ROOT/CMakeLists.txt"
}

# make_distribution FOLDER: the repository's dist/ with the program under
# test ($SETUP_EXE) at its root, under its own name (setup or setup.exe).
make_distribution() {
    cp -r "$ROOT/dist" "$1"
    cp "$SETUP_EXE" "$1/$(basename "$SETUP_EXE")"
}

# make_fake_sqlplus FOLDER [RAN_FILE]: a SQL*Plus in FOLDER that succeeds at
# once and, given RAN_FILE, adds a line to it each time it runs. For a
# Windows build (BUILD win32 or win64) it is sqlplus.bat, otherwise a shell
# script named sqlplus.
make_fake_sqlplus() {
    local folder=$1 ran=${2:-}
    mkdir -p "$folder"
    case "${BUILD:-}" in
        win32 | win64)
            if [ -n "$ran" ]; then
                printf '@echo ran>> "%s"\r\n@exit /b 0\r\n' "$(windows_path "$ran")" >"$folder/sqlplus.bat"
            else
                printf '@exit /b 0\r\n' >"$folder/sqlplus.bat"
            fi
            ;;
        *)
            {
                echo '#!/bin/sh'
                [ -z "$ran" ] || echo "echo \"\$*\" >>'$ran'"
                echo 'exit 0'
            } >"$folder/sqlplus"
            chmod 0755 "$folder/sqlplus"
            ;;
    esac
}
