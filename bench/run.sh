#!/usr/bin/env bash
# Copy-speed benchmark of the setup program.
#
# Builds a source tree (many small files in nested folders, a few large ones,
# and the folders config, install, com and data the program needs), then times,
# on the same disk:
#   natively: cp -r of the tree against a full default install with
#             build/linux/setup, once with stdout on a pseudo-terminal (the bar
#             is drawn) and once with stdout redirected to a file;
#   under Wine: build/win64/setup.exe in a tmux console against Wine's
#             xcopy /E /I /Y in the same console, and both again with their
#             output redirected.
# Every install is checked (exit status, file list and sizes in APP_HOME and
# DATA_HOME, checksums of a sample, install.log) and the figures are printed
# as a table, also written to bench/results-latest.txt.
#
# Settings (environment):
#   BENCH_DIR          where the scratch folder goes (default /tmp); it must be
#                      on the disk the copies should be measured on
#   BENCH_FILES        small files in the native tree (default 10000)
#   BENCH_WINE_FILES   small files in the Wine tree (default 2000)
#   BENCH_FOLDERS      folders holding the small files (default 100)
#   BENCH_BIG_FILES    large files in each tree (default 3)
#   BENCH_BIG_MB       size of each large file in MB (default 50)
#   BENCH_REPEAT       timed runs of each native case (default 7)
#   BENCH_WINE_REPEAT  timed runs of each Wine case (default 5)
#   BENCH_NATIVE=0     skip the native part;  BENCH_WINE=0  skip the Wine part
#   BENCH_BUILD        0 (default): use build/linux/setup and build/win64/setup.exe,
#                      building a preset only when its program is missing;
#                      1: rebuild both presets in build/ first;
#                      private: build both from the work tree into the scratch
#                      folder, leaving build/ alone
#   BENCH_SETUP_LINUX, BENCH_SETUP_EXE
#                      measure these programs instead (say, to compare builds)
#   BENCH_TIMEOUT      longest wait for any single run, seconds (default 1800)
#   BENCH_STRICT=1     exit 2 when a speed target is missed (judged on the
#                      best run of each case, the one other load disturbed least)
#   BENCH_KEEP=1       keep the scratch folder
#
# Exit status: 0 when every step succeeded, 1 when a step failed (a run that
# did not end in time, a non-zero install status, a wrong copy), 2 when
# BENCH_STRICT=1 and a target was missed.
#
# Reading the figures: on a shared 2-core machine single runs vary by a factor
# of two or more, so every case runs several times, interleaved with the
# others, and the table gives median, best run and CPU time. The ext4 root
# here has no journal: for about a minute after many files are deleted (by
# this script's last clean-up, or by anyone else), creating files is several
# times slower. So nothing is deleted while runs are timed; start a run a
# minute after large deletions, or use BENCH_DIR=/dev/shm for figures that
# leave the disk out (the ratios then show the program's own overhead).
# Scratch space: every timed copy is kept until the end, about 0.2 GB each
# for the default tree (some 6 GB in all) and 0.6 GB each with
# BENCH_FILES=100000 (some 17 GB).
set -euo pipefail
export LC_ALL=C

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RESULTS="$REPO/bench/results-latest.txt"

BENCH_DIR=${BENCH_DIR:-/tmp}
BENCH_FILES=${BENCH_FILES:-10000}
BENCH_WINE_FILES=${BENCH_WINE_FILES:-2000}
BENCH_FOLDERS=${BENCH_FOLDERS:-100}
BENCH_BIG_FILES=${BENCH_BIG_FILES:-3}
BENCH_BIG_MB=${BENCH_BIG_MB:-50}
BENCH_REPEAT=${BENCH_REPEAT:-7}
BENCH_WINE_REPEAT=${BENCH_WINE_REPEAT:-5}
BENCH_NATIVE=${BENCH_NATIVE:-1}
BENCH_WINE=${BENCH_WINE:-1}
BENCH_BUILD=${BENCH_BUILD:-0}
BENCH_TIMEOUT=${BENCH_TIMEOUT:-1800}
BENCH_STRICT=${BENCH_STRICT:-0}
BENCH_KEEP=${BENCH_KEEP:-0}

NATIVE_TARGET=1.3   # install time / cp -r time
WINE_TARGET=1.0     # install time / xcopy time, both in a console

SETUP_LINUX=${BENCH_SETUP_LINUX:-$REPO/build/linux/setup}
SETUP_EXE=${BENCH_SETUP_EXE:-$REPO/build/win64/setup.exe}

WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

GENERATED_SCRIPTS=("config/set_env.sql" "config/set_env.bat" "install/auto_install.sql")
GENERATED_PATTERN='^(config/set_env\.sql|config/set_env\.bat|install/auto_install\.sql) '

log() { printf '[bench %s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
die() { log "FAILED: $*"; exit 1; }

# ---------------------------------------------------------------------------
# Tools

APT_UPDATED=0
apt_install() {
    [ "$(id -u)" = 0 ] || die "missing $* and not root: install it first"
    if [ "$APT_UPDATED" = 0 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get update -qq >&2 || die "apt-get update"
        APT_UPDATED=1
    fi
    log "installing $*"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >&2 || die "apt-get install $*"
}

ensure_tools() {
    local missing=()
    command -v python3 >/dev/null || missing+=(python3)
    command -v script >/dev/null || missing+=(bsdutils)
    command -v cmp >/dev/null || missing+=(diffutils)
    [ -x /usr/bin/time ] || missing+=(time)
    if [ "$BENCH_WINE" = 1 ]; then
        command -v tmux >/dev/null || missing+=(tmux)
        [ -x "$WINE64" ] || missing+=(wine wine64)
    fi
    if [ "$BENCH_BUILD" != 0 ] || [ ! -x "$SETUP_LINUX" ] ||
        { [ "$BENCH_WINE" = 1 ] && [ ! -f "$SETUP_EXE" ]; }; then
        command -v cmake >/dev/null || missing+=(cmake)
        command -v g++ >/dev/null || missing+=(g++)
        if [ "$BENCH_WINE" = 1 ]; then
            command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
                command -v x86_64-w64-mingw32-g++ >/dev/null || missing+=(g++-mingw-w64-x86-64)
        fi
    fi
    [ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"
}

# Builds the program of a preset: build_preset PRESET [BINARY_DIR]
build_preset() {
    local preset=$1 binary_dir=${2:-}
    log "building preset $preset${binary_dir:+ in $binary_dir}"
    (cd "$REPO" && cmake --preset "$preset" ${binary_dir:+-B "$binary_dir"} >/dev/null &&
        if [ -n "$binary_dir" ]; then
            cmake --build "$binary_dir" -j2 --target setup
        else
            cmake --build --preset "$preset" -j2 --target setup
        fi) >&2 || die "build of preset $preset"
}

ensure_builds() {
    if [ "$BENCH_BUILD" = private ]; then
        if [ "$BENCH_NATIVE" = 1 ] && [ -z "${BENCH_SETUP_LINUX:-}" ]; then
            build_preset linux "$SCRATCH/build-linux"
            SETUP_LINUX="$SCRATCH/build-linux/setup"
        fi
        if [ "$BENCH_WINE" = 1 ] && [ -z "${BENCH_SETUP_EXE:-}" ]; then
            build_preset win64 "$SCRATCH/build-win64"
            SETUP_EXE="$SCRATCH/build-win64/setup.exe"
        fi
        return
    fi
    if [ "$BENCH_NATIVE" = 1 ] && [ -z "${BENCH_SETUP_LINUX:-}" ] &&
        { [ "$BENCH_BUILD" = 1 ] || [ ! -x "$SETUP_LINUX" ]; }; then
        build_preset linux
    fi
    if [ "$BENCH_WINE" = 1 ] && [ -z "${BENCH_SETUP_EXE:-}" ] &&
        { [ "$BENCH_BUILD" = 1 ] || [ ! -f "$SETUP_EXE" ]; }; then
        build_preset win64
    fi
}

# ---------------------------------------------------------------------------
# Small helpers

# Seconds between two EPOCHREALTIME readings.
seconds_between() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
minimum() { printf '%s\n' "$@" | sort -g | head -n 1; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) printf "%.3f", v[(NR + 1) / 2]; else printf "%.3f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
at_most() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }'; }
mib() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }

count_files() { find "$1" -type f | wc -l; }
count_bytes() { find "$1" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "%d", s }'; }

# A host path as Wine names it through Z:.
wine_path() { printf 'Z:%s' "${1//\//\\}"; }

# The command prefix that writes "peak-RSS-KB user-seconds system-seconds"
# of the command it runs into FILE: usage_prefix FILE (sets USAGE_PREFIX).
usage_prefix() {
    if [ -x /usr/bin/time ]; then
        USAGE_PREFIX=(/usr/bin/time -f '%M %U %S' -o "$1")
    else
        USAGE_PREFIX=(python3 -c 'import resource, subprocess, sys
status = subprocess.call(sys.argv[2:])
u = resource.getrusage(resource.RUSAGE_CHILDREN)
open(sys.argv[1], "w").write("%d %.2f %.2f\n" % (u.ru_maxrss, u.ru_utime, u.ru_stime))
sys.exit(status)' "$1")
    fi
}
# CPU seconds (user + system) in such a file; the sum over several lines.
usage_cpu() { awk '{ s += $2 + $3 } END { printf "%.2f", s }' "$@"; }
usage_rss() { awk '{ print $1 }' "$1" | tail -n 1; }

# Flushes written data so one run's write-back does not land in the next.
settle() { sync; }

# Generates a tree: generate_tree DIR SMALL_FILES FOLDERS BIG_FILES BIG_MB
generate_tree() {
    python3 - "$@" <<'PY'
import os, random, sys

root, small, folders, big, big_mb = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
rng = random.Random(20260101)
tops = ["config", "install", "com", "data", "lib", "docs", "forms", "reports", "sql", "web"]
names = tops[:max(4, min(len(tops), folders))]
frontier = names[:]
while len(names) < folders:
    following = []
    for parent in frontier:
        for k in range(3):
            if len(names) >= folders:
                break
            child = "%s/m%02d" % (parent, k)
            names.append(child)
            following.append(child)
    frontier = following
for name in names:
    os.makedirs(os.path.join(root, name), exist_ok=True)
extensions = [".sql", ".dat", ".txt", ".pks", ".pkb", ".csv"]
for i in range(small):
    folder = names[i % len(names)]
    path = os.path.join(root, folder, "f%06d%s" % (i, extensions[i % len(extensions)]))
    with open(path, "wb") as f:
        f.write(os.urandom(rng.randint(1024, 4096)))
homes = ["lib", "docs", "data"]
for i in range(big):
    folder = homes[i % len(homes)] if homes[i % len(homes)] in names else names[0]
    with open(os.path.join(root, folder, "large%02d.bin" % i), "wb") as f:
        for _ in range(big_mb):
            f.write(os.urandom(1 << 20))
PY
}

# Checks a finished install: verify_install LABEL TREE APP_HOME DATA_HOME LOG
# Prints nothing on success; dies on a mismatch.
verify_install() {
    local label=$1 tree=$2 app=$3 data=$4 install_log=$5
    [ -d "$app" ] || die "$label: APP_HOME $app missing"
    [ -d "$data" ] || die "$label: DATA_HOME $data missing"
    local script
    for script in "${GENERATED_SCRIPTS[@]}"; do
        [ -f "$app/$script" ] || die "$label: generated $script missing in APP_HOME"
    done
    local want got
    want=$(($(count_files "$tree") + ${#GENERATED_SCRIPTS[@]}))
    got=$(count_files "$app")
    [ "$want" = "$got" ] || die "$label: APP_HOME holds $got files, expected $want"
    want=$(count_files "$tree/data")
    got=$(count_files "$data")
    [ "$want" = "$got" ] || die "$label: DATA_HOME holds $got files, expected $want"
    # Every file by name and size.
    diff -q <(cd "$tree" && find . -type f -printf '%P %s\n' | sort) \
        <(cd "$app" && find . -type f -printf '%P %s\n' | grep -Ev "$GENERATED_PATTERN" | sort) >/dev/null ||
        die "$label: APP_HOME differs from the tree in file names or sizes"
    diff -q <(cd "$tree/data" && find . -type f -printf '%P %s\n' | sort) \
        <(cd "$data" && find . -type f -printf '%P %s\n' | sort) >/dev/null ||
        die "$label: DATA_HOME differs from tree/data in file names or sizes"
    # Contents of a sample: every large file and about 200 small ones.
    local files step=1 n i=0 f
    mapfile -t files < <(cd "$tree" && find . -type f -printf '%P\n' | sort)
    n=${#files[@]}
    [ "$n" -gt 200 ] && step=$((n / 200))
    for ((i = 0; i < n; i += step)); do
        cmp -s "$tree/${files[$i]}" "$app/${files[$i]}" || die "$label: content differs: ${files[$i]}"
    done
    while IFS= read -r f; do
        cmp -s "$tree/$f" "$app/$f" || die "$label: content differs: $f"
    done < <(cd "$tree" && find . -type f -size +1M -printf '%P\n')
    while IFS= read -r f; do
        cmp -s "$tree/data/$f" "$data/$f" || die "$label: DATA_HOME content differs: $f"
    done < <(cd "$tree/data" && find . -type f -printf '%P\n' | awk 'NR % 20 == 1')
    # One log line per copied file, for both copies.
    want=$(($(count_files "$tree") + $(count_files "$tree/data")))
    got=$(grep -c '^Copied file: ' "$install_log" || true)
    [ "$want" = "$got" ] || die "$label: install.log names $got copied files, expected $want"
}

# ---------------------------------------------------------------------------
# Scratch space and clean-up

SCRATCH=""
TMUX_SOCKET=""
WINE_PREFIX_DIR=""
# shellcheck disable=SC2317 # called by the trap
cleanup() {
    local status=$?
    set +e
    if [ -n "$TMUX_SOCKET" ] && [ -S "$TMUX_SOCKET" ]; then
        tmux -S "$TMUX_SOCKET" kill-server >/dev/null 2>&1
    fi
    if [ -n "$WINE_PREFIX_DIR" ] && [ -d "$WINE_PREFIX_DIR" ]; then
        WINEPREFIX="$WINE_PREFIX_DIR" "$WINESERVER" -k >/dev/null 2>&1
        WINEPREFIX="$WINE_PREFIX_DIR" timeout 60 "$WINESERVER" -w >/dev/null 2>&1
    fi
    if [ -n "$SCRATCH" ] && [ -d "$SCRATCH" ]; then
        if [ "$BENCH_KEEP" = 1 ]; then
            log "scratch kept in $SCRATCH"
        else
            rm -rf "$SCRATCH"
        fi
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The answers: six defaults, the confirmation, the RETURN after the summary.
write_answers() { printf '\n\n\n\n\n\nY\n\n' >"$1"; }

# ---------------------------------------------------------------------------
# Native part

declare -A R   # results by name

native_setup() {
    NT="$SCRATCH/native"
    mkdir -p "$NT/bin" "$NT/out"
    log "generating native tree: $BENCH_FILES small files in $BENCH_FOLDERS folders, $BENCH_BIG_FILES x $BENCH_BIG_MB MB"
    generate_tree "$NT/tree" "$BENCH_FILES" "$BENCH_FOLDERS" "$BENCH_BIG_FILES" "$BENCH_BIG_MB"
    [ -x "$SETUP_LINUX" ] || die "no program at $SETUP_LINUX"
    cp "$SETUP_LINUX" "$NT/tree/setup"
    printf '#!/bin/sh\nexit 0\n' >"$NT/bin/sqlplus"
    chmod +x "$NT/bin/sqlplus"
    write_answers "$NT/answers"
    R[native_tree_files]=$(count_files "$NT/tree")
    R[native_tree_bytes]=$(count_bytes "$NT/tree")
    R[native_data_files]=$(count_files "$NT/tree/data")
    R[native_data_bytes]=$(count_bytes "$NT/tree/data")
    R[native_tree_folders]=$(find "$NT/tree" -mindepth 1 -type d | wc -l)
}

# Every timed copy goes to a folder of its own and nothing is deleted until
# all runs are done: on an ext4 without a journal, files created within a
# minute of a large delete cost many times more (the inode allocator steps
# over every recently freed inode), which would swamp the figures.

# Times one cp -r into SECONDS_TAKEN (and its CPU time into CPU_TAKEN):
# native_cp KIND RUN. With KIND "both",
# tree/data is then copied over dest/data, as the install's second copy does.
native_cp() {
    local kind=$1 dest="$NT/out/cp-$1-$2" s e
    rm -f "$NT/usage"*
    settle
    usage_prefix "$NT/usage1"
    local first=("${USAGE_PREFIX[@]}")
    usage_prefix "$NT/usage2"
    s=$EPOCHREALTIME
    "${first[@]}" cp -r "$NT/tree" "$dest"
    if [ "$kind" = both ]; then "${USAGE_PREFIX[@]}" cp -r "$NT/tree/data/." "$dest/data/"; fi
    e=$EPOCHREALTIME
    CPU_TAKEN=$(usage_cpu "$NT/usage"*)
    [ "$(count_files "$dest")" = "${R[native_tree_files]}" ] || die "cp -r copied a wrong number of files"
    SECONDS_TAKEN=$(seconds_between "$s" "$e")
}

# Times one default install into SECONDS_TAKEN and CPU_TAKEN (the program's
# own CPU time, not the terminal's): native_install MODE RUN, with
# stdout on a pty (MODE pty) or in a file (MODE file). Each run has a C: drive
# and a working folder (for install.log) of its own.
native_install() {
    local mode=$1 drive="$NT/out/c-$1-$2" work="$NT/out/work-$1-$2" out="$NT/out/stdout-$1-$2" s e status=0
    mkdir -p "$drive/users/${USER:-$(id -un)}/Desktop" "$work"
    rm -f "$NT/usage"*
    usage_prefix "$NT/usage"
    settle
    local env_line
    env_line=$(printf 'cd %q && export SETUP_DRIVE_C=%q PATH=%q && exec' "$work" "$drive" "$NT/bin:$PATH")
    local run_line
    run_line=$(printf ' %q' "${USAGE_PREFIX[@]}" "$NT/tree/setup")
    s=$EPOCHREALTIME
    if [ "$mode" = pty ]; then
        timeout "$BENCH_TIMEOUT" script -qfec "$env_line$run_line < $(printf '%q' "$NT/answers")" /dev/null \
            </dev/null >"$out" 2>&1 || status=$?
    else
        timeout "$BENCH_TIMEOUT" bash -c "$env_line$run_line < $(printf '%q' "$NT/answers")" \
            </dev/null >"$out" 2>&1 || status=$?
    fi
    e=$EPOCHREALTIME
    if [ "$status" = 124 ]; then die "native install ($mode) did not end within $BENCH_TIMEOUT s"; fi
    if [ "$status" != 0 ]; then
        tail -n 15 "$out" | sed 's/\x1b\[[0-9;]*[A-Za-z]//g' >&2
        die "native install ($mode) ended with status $status"
    fi
    if [ "$mode" = pty ]; then
        if ! grep -q $'\x1b\\[32m' "$out" || ! grep -q '100%' "$out"; then
            die "native install on a pty drew no progress bar (no colour sequences or 100% in its output)"
        fi
    else
        if grep -q $'\x1b\\[' "$out"; then R[native_file_escapes]=yes; fi
    fi
    verify_install "native install ($mode)" "$NT/tree" "$drive/XEPDB1/QUARNDEL" "$drive/XEPDB1/QUARNDEL/data" "$work/install.log"
    R[native_rss_kb_$mode]=$(usage_rss "$NT/usage")
    CPU_TAKEN=$(usage_cpu "$NT/usage")
    SECONDS_TAKEN=$(seconds_between "$s" "$e")
}

run_native() {
    native_setup
    # A warm-up, so every timed run reads the tree from the page cache.
    native_cp plain warm-up
    local i name
    declare -A wall=() cpu=()
    for ((i = 1; i <= BENCH_REPEAT; i++)); do
        log "native run $i of $BENCH_REPEAT"
        native_cp plain "$i"
        wall[cp]+=" $SECONDS_TAKEN"; cpu[cp]+=" $CPU_TAKEN"
        native_install pty "$i"
        wall[pty]+=" $SECONDS_TAKEN"; cpu[pty]+=" $CPU_TAKEN"
        native_cp both "$i"
        wall[cp_both]+=" $SECONDS_TAKEN"; cpu[cp_both]+=" $CPU_TAKEN"
        native_install file "$i"
        wall[file]+=" $SECONDS_TAKEN"; cpu[file]+=" $CPU_TAKEN"
    done
    for name in cp cp_both pty file; do
        # shellcheck disable=SC2086 # the lists split on purpose
        R[native_$name]=$(median ${wall[$name]})
        # shellcheck disable=SC2086
        R[native_${name}_min]=$(minimum ${wall[$name]})
        # shellcheck disable=SC2086
        R[native_${name}_cpu]=$(median ${cpu[$name]})
        R[native_${name}_all]=${wall[$name]# }
    done
}

# ---------------------------------------------------------------------------
# Wine part

wine_env_line() {
    printf 'export WINEPREFIX=%q WINEDEBUG=-all WINEDLLOVERRIDES=%q WINEPATH=%q HOME=%q' \
        "$WINE_PREFIX_DIR" "mscoree,mshtml=" "$(wine_path "$WT/bin")" "$WT/home"
}

wine_setup() {
    WT="$SCRATCH/wine"
    WINE_PREFIX_DIR="$WT/prefix"
    mkdir -p "$WT/bin" "$WT/home" "$WT/out"
    log "generating Wine tree: $BENCH_WINE_FILES small files in $BENCH_FOLDERS folders, $BENCH_BIG_FILES x $BENCH_BIG_MB MB"
    generate_tree "$WT/tree" "$BENCH_WINE_FILES" "$BENCH_FOLDERS" "$BENCH_BIG_FILES" "$BENCH_BIG_MB"
    [ -f "$SETUP_EXE" ] || die "no program at $SETUP_EXE"
    cp "$SETUP_EXE" "$WT/tree/setup.exe"
    printf '@exit /b 0\r\n' >"$WT/bin/sqlplus.bat"
    write_answers "$WT/answers"
    log "creating the Wine prefix"
    (eval "$(wine_env_line)" && timeout 300 "$WINE64" wineboot --init </dev/null >/dev/null 2>&1 &&
        timeout 300 "$WINESERVER" -w) || die "creating the Wine prefix"
    # The desktop would be a link to the home folder; keep the shortcut in here.
    local user_dir
    for user_dir in "$WINE_PREFIX_DIR"/drive_c/users/*; do
        [ "$(basename "$user_dir")" = Public ] && continue
        [ -L "$user_dir/Desktop" ] && rm -f "$user_dir/Desktop"
        mkdir -p "$user_dir/Desktop"
    done
    # A server that stays up, so no run pays for its start.
    (eval "$(wine_env_line)" && "$WINESERVER" -p) || die "starting wineserver"
    TMUX_SOCKET="$WT/tmux.sock"
    R[wine_tree_files]=$(count_files "$WT/tree")
    R[wine_tree_bytes]=$(count_bytes "$WT/tree")
    R[wine_data_files]=$(count_files "$WT/tree/data")
    R[wine_data_bytes]=$(count_bytes "$WT/tree/data")
    R[wine_tree_folders]=$(find "$WT/tree" -mindepth 1 -type d | wc -l)
}

WINE_RUN=0
# Runs one command line in a fresh tmux console (or with output redirected
# when the command says so), in the working folder WORK, and waits for it:
# wine_run COMMAND WORK. Sets RUN_STATUS and SECONDS_TAKEN; the screen is
# left in $WT/screen-$WINE_RUN.
wine_run() {
    local command=$1 work=$2
    WINE_RUN=$((WINE_RUN + 1))
    mkdir -p "$work"
    local marker="$WT/done-$WINE_RUN" runner="$WT/run-$WINE_RUN.sh" session="bench$WINE_RUN"
    # shellcheck disable=SC2016 # the runner expands these itself
    {
        printf '#!/bin/sh\n'
        wine_env_line
        printf '\ncd %q || exit 1\n' "$work"
        printf 's=$(date +%%s.%%N)\n'
        printf '%s\n' "$command"
        printf 'status=$?\ne=$(date +%%s.%%N)\n'
        printf 'echo "$status $s $e" > %q && mv %q %q\n' "$marker.tmp" "$marker.tmp" "$marker"
        printf 'exec sleep 3600\n'
    } >"$runner"
    tmux -S "$TMUX_SOCKET" -f /dev/null new-session -d -s "$session" -x 120 -y 40 "sh $(printf '%q' "$runner")"
    local waited=0
    while [ ! -f "$marker" ]; do
        sleep 0.2
        waited=$((waited + 1))
        if [ "$waited" -gt $((BENCH_TIMEOUT * 5)) ]; then
            tmux -S "$TMUX_SOCKET" capture-pane -p -t "$session" >&2 || true
            die "Wine run $WINE_RUN did not end within $BENCH_TIMEOUT s: $command"
        fi
    done
    tmux -S "$TMUX_SOCKET" capture-pane -p -J -S -100000 -t "$session" >"$WT/screen-$WINE_RUN" || true
    tmux -S "$TMUX_SOCKET" kill-session -t "$session" >/dev/null 2>&1 || true
    local s e
    read -r RUN_STATUS s e <"$marker"
    SECONDS_TAKEN=$(seconds_between "$s" "$e")
}

# As natively, nothing is deleted while runs are timed: each copy goes to a
# folder of its own, and an install is moved out of the way after its checks.

# Times one xcopy into SECONDS_TAKEN: wine_xcopy MODE RUN, with MODE console
# or null (output to /dev/null).
wine_xcopy() {
    local mode=$1 name="xcopy-$1-$2" redirect=""
    local dest="$WINE_PREFIX_DIR/drive_c/$name"
    settle
    if [ "$mode" = null ]; then redirect=" > /dev/null 2>&1"; fi
    wine_run "\"$WINE64\" cmd /c xcopy /E /I /Y '$(wine_path "$WT/tree")' 'C:\\$name' < /dev/null$redirect" "$WT/out/work-$name"
    [ "$RUN_STATUS" = 0 ] || die "xcopy ($mode) ended with status $RUN_STATUS"
    [ "$(count_files "$dest")" = "${R[wine_tree_files]}" ] ||
        die "xcopy ($mode) copied $(count_files "$dest") files, expected ${R[wine_tree_files]}"
}

# Times one default install into SECONDS_TAKEN: wine_install MODE RUN, with
# MODE console or file (output to a file).
wine_install() {
    local mode=$1 run=$2 redirect=""
    local app="$WINE_PREFIX_DIR/drive_c/XEPDB1/QUARNDEL" work="$WT/out/work-setup-$1-$2" out="$WT/out/stdout-$1-$2"
    rm -f "$WT/rss"
    settle
    if [ "$mode" = file ]; then redirect=" > $(printf '%q' "$out") 2>&1"; fi
    wine_run "/usr/bin/time -f %M -o $(printf '%q' "$WT/rss") \"$WINE64\" $(printf '%q' "$WT/tree/setup.exe") < $(printf '%q' "$WT/answers")$redirect" "$work"
    local screen="$WT/screen-$WINE_RUN"
    if [ "$RUN_STATUS" != 0 ]; then
        { tail -n 15 "$screen"; if [ -f "$out" ]; then tail -n 15 "$out"; fi; } >&2 || true
        die "Wine install ($mode) ended with status $RUN_STATUS"
    fi
    if [ "$mode" = console ]; then
        grep -q '\] 100%' "$screen" || die "Wine install in a console: no finished progress bar on the screen"
    fi
    verify_install "Wine install ($mode)" "$WT/tree" "$app" "$app/data" "$work/install.log"
    if [ -f "$WT/rss" ]; then R[wine_rss_kb_$mode]=$(tail -n 1 "$WT/rss"); fi
    mv "$WINE_PREFIX_DIR/drive_c/XEPDB1" "$WT/out/XEPDB1-$mode-$run"
}

run_wine() {
    wine_setup
    log "Wine warm-up"
    wine_run "\"$WINE64\" cmd /c xcopy /E /I /Y '$(wine_path "$WT/tree/config")' 'C:\\warm' < /dev/null > /dev/null 2>&1" "$WT/out/work-warm"
    [ "$RUN_STATUS" = 0 ] || die "Wine warm-up xcopy ended with status $RUN_STATUS"
    local i name
    declare -A wall=()
    for ((i = 1; i <= BENCH_WINE_REPEAT; i++)); do
        log "Wine run $i of $BENCH_WINE_REPEAT"
        wine_xcopy console "$i"
        wall[xcopy_console]+=" $SECONDS_TAKEN"
        wine_install console "$i"
        wall[setup_console]+=" $SECONDS_TAKEN"
        wine_xcopy null "$i"
        wall[xcopy_null]+=" $SECONDS_TAKEN"
        wine_install file "$i"
        wall[setup_file]+=" $SECONDS_TAKEN"
    done
    for name in xcopy_console xcopy_null setup_console setup_file; do
        # shellcheck disable=SC2086 # the lists split on purpose
        R[wine_$name]=$(median ${wall[$name]})
        # shellcheck disable=SC2086
        R[wine_${name}_min]=$(minimum ${wall[$name]})
        R[wine_${name}_all]=${wall[$name]# }
    done
}

# ---------------------------------------------------------------------------
# Report

# Other load on the machine only ever adds time, so the best of the runs is
# the figure it disturbs least: the targets are judged on the ratio of best
# runs (and BENCH_STRICT acts on that); the ratio of medians is shown beside.
TARGETS_MISSED=0
# Sets R[verdict_NAME] to "RATIO met" or "RATIO MISSED": judge NAME TIME BASE LIMIT [counts]
judge() {
    local value
    value=$(ratio "$2" "$3")
    if at_most "$value" "$4"; then
        R[verdict_$1]="${value}x met"
    else
        R[verdict_$1]="${value}x MISSED"
        if [ "${5:-}" = counts ]; then TARGETS_MISSED=1; fi
    fi
}

judge_targets() {
    if [ "$BENCH_NATIVE" = 1 ]; then
        judge native_pty_min "${R[native_pty_min]}" "${R[native_cp_min]}" "$NATIVE_TARGET" counts
        judge native_file_min "${R[native_file_min]}" "${R[native_cp_min]}" "$NATIVE_TARGET" counts
        judge native_pty "${R[native_pty]}" "${R[native_cp]}" "$NATIVE_TARGET"
        judge native_file "${R[native_file]}" "${R[native_cp]}" "$NATIVE_TARGET"
    fi
    if [ "$BENCH_WINE" = 1 ]; then
        judge wine_console_min "${R[wine_setup_console_min]}" "${R[wine_xcopy_console_min]}" "$WINE_TARGET" counts
        judge wine_console "${R[wine_setup_console]}" "${R[wine_xcopy_console]}" "$WINE_TARGET"
    fi
}

report() {
    local rev
    rev=$(cd "$REPO" && git rev-parse --short HEAD 2>/dev/null || echo unknown)
    if [ -n "$(cd "$REPO" && git status --porcelain -- . ':!bench' 2>/dev/null)" ]; then rev="$rev + uncommitted changes"; fi
    echo "Setup copy benchmark, $(date '+%Y-%m-%d %H:%M'), commit $rev"
    echo "$(nproc) cores; scratch on $(df -P "$BENCH_DIR" | awk 'NR == 2 { print $1 }') ($(findmnt -n -o FSTYPE,OPTIONS -T "$BENCH_DIR" 2>/dev/null | tr -s ' ' || stat -f -c %T "$BENCH_DIR"));" \
        "load average ${R[load_start]} at the start, ${R[load_end]} at the end"
    local program
    if [ "$BENCH_NATIVE" = 1 ]; then
        program="$SETUP_LINUX"
        echo "native program: ${program#"$REPO"/} ($(stat -c %s "$program") bytes, built $(date -r "$program" '+%Y-%m-%d %H:%M:%S'))"
    fi
    if [ "$BENCH_WINE" = 1 ]; then
        program="$SETUP_EXE"
        echo "Windows program: ${program#"$REPO"/} ($(stat -c %s "$program") bytes, built $(date -r "$program" '+%Y-%m-%d %H:%M:%S'))"
    fi
    echo "Times are wall-clock seconds; 'median' and 'min' over the runs, 'cpu' the median user+system seconds of the timed process."
    echo
    local row='  %-46s %7s %7s %6s %9s %9s %9s  %s\n'
    if [ "$BENCH_NATIVE" = 1 ]; then
        local cp=${R[native_cp]} cpm=${R[native_cp_min]} cpc=${R[native_cp_cpu]}
        local install_files=$((R[native_tree_files] + R[native_data_files]))
        local install_bytes=$((R[native_tree_bytes] + R[native_data_bytes]))
        echo "NATIVE, $BENCH_REPEAT runs of each case, interleaved"
        echo "  tree: ${R[native_tree_files]} files, $(mib "${R[native_tree_bytes]}") MiB, ${R[native_tree_folders]} folders" \
            "($BENCH_FILES small files of 1-4 KB, $BENCH_BIG_FILES x $BENCH_BIG_MB MB, the program);" \
            "data: ${R[native_data_files]} files, $(mib "${R[native_data_bytes]}") MiB"
        echo "  cp -r copies ${R[native_tree_files]} files / $(mib "${R[native_tree_bytes]}") MiB;" \
            "the install copies $install_files files / $(mib "$install_bytes") MiB" \
            "(the tree into APP_HOME, then data again into DATA_HOME = APP_HOME\\data, overwriting)"
        echo
        # shellcheck disable=SC2059 # the format is the row layout
        printf "$row" "case" "median" "min" "cpu" "x cp -r" "min/min" "cpu/cpu" "runs"
        local name label
        for name in cp cp_both pty file; do
            case $name in
                cp) label="cp -r tree dest" ;;
                cp_both) label="cp -r tree dest; cp -r tree/data/. dest/data" ;;
                pty) label="install, stdout on a pty (bar drawn)" ;;
                file) label="install, stdout to a file" ;;
            esac
            # shellcheck disable=SC2059
            printf "$row" "$label" "${R[native_$name]}" "${R[native_${name}_min]}" "${R[native_${name}_cpu]}" \
                "$(ratio "${R[native_$name]}" "$cp")" "$(ratio "${R[native_${name}_min]}" "$cpm")" \
                "$(ratio "${R[native_${name}_cpu]}" "$cpc")" "${R[native_${name}_all]}"
        done
        echo "  against the same work (cp -r tree + cp -r tree/data over it):" \
            "pty $(ratio "${R[native_pty]}" "${R[native_cp_both]}")x," \
            "file $(ratio "${R[native_file]}" "${R[native_cp_both]}")x (medians)"
        echo "  peak resident memory of the install: ${R[native_rss_kb_pty]} KB (pty), ${R[native_rss_kb_file]} KB (file)"
        if [ "${R[native_file_escapes]:-no}" = yes ]; then echo "  NOTE: the redirected output holds escape sequences"; fi
        echo "  TARGET install <= ${NATIVE_TARGET}x cp -r, best runs:" \
            "pty ${R[verdict_native_pty_min]}, file ${R[verdict_native_file_min]}" \
            "(medians: pty ${R[verdict_native_pty]}, file ${R[verdict_native_file]})"
        echo
    fi
    if [ "$BENCH_WINE" = 1 ]; then
        local xc=${R[wine_xcopy_console]} xcm=${R[wine_xcopy_console_min]}
        echo "WINE ($("$WINE64" --version 2>/dev/null)), $BENCH_WINE_REPEAT runs of each case, interleaved;" \
            "each run a fresh process in a fresh tmux console (120x40)"
        echo "  tree: ${R[wine_tree_files]} files, $(mib "${R[wine_tree_bytes]}") MiB, ${R[wine_tree_folders]} folders" \
            "($BENCH_WINE_FILES small files$([ "$BENCH_WINE_FILES" != "$BENCH_FILES" ] && echo ", reduced from $BENCH_FILES"), $BENCH_BIG_FILES x $BENCH_BIG_MB MB, the program);" \
            "data: ${R[wine_data_files]} files, $(mib "${R[wine_data_bytes]}") MiB"
        echo "  xcopy copies ${R[wine_tree_files]} files; the install copies $((R[wine_tree_files] + R[wine_data_files])) files," \
            "starts cmd for the sqlplus stand-in and writes the shortcut; all times include Wine's process start"
        echo
        # shellcheck disable=SC2059
        printf "$row" "case" "median" "min" "" "x xcopy" "min/min" "" "runs"
        local name label
        for name in xcopy_console xcopy_null setup_console setup_file; do
            case $name in
                xcopy_console) label="xcopy /E /I /Y, console" ;;
                xcopy_null) label="xcopy /E /I /Y, output to /dev/null" ;;
                setup_console) label="setup.exe, console (bar drawn)" ;;
                setup_file) label="setup.exe, output to a file" ;;
            esac
            # shellcheck disable=SC2059
            printf "$row" "$label" "${R[wine_$name]}" "${R[wine_${name}_min]}" "" \
                "$(ratio "${R[wine_$name]}" "$xc")" "$(ratio "${R[wine_${name}_min]}" "$xcm")" "" "${R[wine_${name}_all]}"
        done
        echo "  setup.exe to a file against xcopy to /dev/null: $(ratio "${R[wine_setup_file]}" "${R[wine_xcopy_null]}")x (medians)"
        echo "  peak resident memory (the Wine process): ${R[wine_rss_kb_console]:-n/a} KB (console), ${R[wine_rss_kb_file]:-n/a} KB (file)"
        echo "  TARGET setup.exe <= ${WINE_TARGET}x xcopy, both in a console, best runs:" \
            "${R[verdict_wine_console_min]} (medians: ${R[verdict_wine_console]})"
        echo
    fi
    echo "All installs verified: exit status 0, APP_HOME = tree + ${#GENERATED_SCRIPTS[@]} generated scripts (names and sizes)," \
        "DATA_HOME = tree/data, sampled contents equal, one install.log line per copied file."
}

# ---------------------------------------------------------------------------

main() {
    [[ "$BENCH_FILES" =~ ^[0-9]+$ && "$BENCH_WINE_FILES" =~ ^[0-9]+$ ]] || die "BENCH_FILES and BENCH_WINE_FILES must be numbers"
    ensure_tools
    mkdir -p "$BENCH_DIR"
    SCRATCH=$(mktemp -d "$BENCH_DIR/setup-bench.XXXXXX")
    log "scratch folder $SCRATCH"
    ensure_builds
    R[load_start]=$(cut -d ' ' -f 1-3 /proc/loadavg)
    if [ "$BENCH_NATIVE" = 1 ]; then run_native; fi
    if [ "$BENCH_WINE" = 1 ]; then run_wine; fi
    R[load_end]=$(cut -d ' ' -f 1-3 /proc/loadavg)
    judge_targets
    local table
    table=$(report)
    printf '%s\n' "$table" | tee "$RESULTS"
    if [ "$TARGETS_MISSED" = 1 ] && [ "$BENCH_STRICT" = 1 ]; then exit 2; fi
    exit 0
}

main "$@"
