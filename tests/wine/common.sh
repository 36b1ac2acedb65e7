# Shared by the Wine tests, on top of tests/lib/common.bash (fail, skip,
# pass, on_exit, windows_path, make_fake_sqlplus): a private Wine prefix, a
# tmux console, waiting for text on the screen. Source it; it defines
# functions only.

source "$(dirname "${BASH_SOURCE[0]}")/../lib/common.bash"

# The win32 tests that still run where 32-bit code is emulated (a minute or
# two per 32-bit Wine process there): the rest run on win64 alone.
WIN32_SMOKE_SET=(default_install zip_unattended planted_files ctrl_c)

# Chooses the Windows build under test (win32, the shipping exe, or win64):
# sets BUILD, WINE (its loader), SETUP_EXE and SQLPLUS_EXE, HARNESS_WINE
# (the loader of the test's own cmd), CODE_RUNS (native or emulated) and
# WAIT_SCALE (what every wait is multiplied by). Skips when this machine
# cannot run that build, or when 32-bit code is emulated and the test is not
# in the smoke set.
use_build() {
    BUILD=${1:-}
    case "$BUILD" in
        win32) WINE=/usr/lib/wine/wine ;;
        win64) WINE=/usr/lib/wine/wine64 ;;
        *) echo "usage: $0 win32|win64" >&2; exit 2 ;;
    esac
    HARNESS_WINE=$WINE CODE_RUNS=native WAIT_SCALE=1
    SETUP_EXE="$PRESET_TREES/$BUILD/setup.exe"
    SQLPLUS_EXE="$PRESET_TREES/$BUILD/tools/sqlplus/sqlplus.exe"
    [ -x "$WINE" ] || skip "no Wine loader $WINE (install wine32:i386 for win32, wine64 for win64)"
    command -v tmux >/dev/null || skip "tmux is not installed"
    [ -f "$SETUP_EXE" ] || skip "$SETUP_EXE is missing; the ci preset builds the $BUILD preset's tree"
    if [ "$BUILD" = win32 ]; then
        local how
        how=$(bash "$ROOT/tools/run-32bit.sh" mode)
        case "$how" in
            native) ;;
            emulated)
                [[ " ${WIN32_SMOKE_SET[*]} " == *" ${TEST_NAME%_test} "* ]] ||
                    skip "32-bit code is emulated on this machine: covered by win64 and the win32 smoke set"
                # Only setup.exe is the exe under test: the test's own cmd
                # and the stand-in SQL*Plus run as 64-bit code, natively.
                CODE_RUNS=emulated WAIT_SCALE=10 HARNESS_WINE=/usr/lib/wine/wine64
                SQLPLUS_EXE="$PRESET_TREES/win64/tools/sqlplus/sqlplus.exe"
                [ -f "$SQLPLUS_EXE" ] || skip "$SQLPLUS_EXE is missing; the ci preset builds the win64 tree"
                echo "32-bit code is emulated here: waits scaled by $WAIT_SCALE"
                ;;
            *) skip "this machine cannot run 32-bit programs (${how#none: })" ;;
        esac
    fi
    export WINE HARNESS_WINE  # the helper scripts run set_env.bat with the harness's loader
}

# On failure, the console's screen (when a test has one), shown and kept
# with its history in the scratch folder.
show_screen() {
    if [ -n "${TMUX_SOCKET:-}" ]; then
        echo "---- screen (history in $SCRATCH/screen-at-failure.txt) ----"
        tmux -L "$TMUX_SOCKET" capture-pane -p -J -t setup -S - >"$SCRATCH/screen-at-failure.txt" 2>/dev/null || true
        tmux -L "$TMUX_SOCKET" capture-pane -p -t setup 2>/dev/null || true
    fi
}
on_failure show_screen

# A scratch folder with a working folder, WORK, and a Wine prefix of its
# own; all go away at exit, with the console and the prefix's wineserver.
start_scratch() {
    make_scratch wine
    WORK="$SCRATCH/work"
    mkdir -p "$WORK"
    export WINEPREFIX="$SCRATCH/prefix"
    export WINEDEBUG=-all
    # Wine links the prefix's Desktop to $HOME's: keep the desktop private too.
    export HOME="$SCRATCH/home"
    mkdir -p "$HOME"
    keep_scratch_on_failure 'rm -rf "$WINEPREFIX/drive_c/windows"'
    TMUX_SOCKET="setup-wine-$$"
    on_exit wineserver_stop
    on_exit 'tmux -L "$TMUX_SOCKET" kill-server'
    copy_template_prefix
    DRIVE_C="$WINEPREFIX/drive_c"
    [ -d "$DRIVE_C" ] || fail "the Wine prefix was not created"
}

# The Wine prefix this test run's tests start from, made once by whichever
# comes first (tools/test.sh makes it while the builds compile) and copied
# into WINEPREFIX with the user's folders that Wine links to HOME linked to
# this test's HOME. A new prefix takes minutes where 32-bit code is emulated.
PREFIX_TEMPLATE="$PRESET_TREES/wine-prefix"
make_template_prefix() {
    mkdir -p "$PRESET_TREES"
    (
        flock 9
        [ ! -f "$PREFIX_TEMPLATE/.complete" ] || exit 0
        rm -rf "$PREFIX_TEMPLATE" "$PREFIX_TEMPLATE.home"
        mkdir -p "$PREFIX_TEMPLATE.home"
        local loader=/usr/lib/wine/wine64
        [ -x "$loader" ] || loader=$WINE
        HOME="$PREFIX_TEMPLATE.home" WINEPREFIX="$PREFIX_TEMPLATE" WINEDEBUG=-all "$loader" cmd /c exit >/dev/null 2>&1 || true
        WINEPREFIX="$PREFIX_TEMPLATE" /usr/lib/wine/wineserver -w 2>/dev/null || true
        [ -d "$PREFIX_TEMPLATE/drive_c" ] && touch "$PREFIX_TEMPLATE/.complete"
    ) 9>"$PRESET_TREES/wine-prefix.lock"
}

copy_template_prefix() {
    make_template_prefix
    [ -f "$PREFIX_TEMPLATE/.complete" ] || fail "no Wine prefix could be made in $PREFIX_TEMPLATE"
    cp -a "$PREFIX_TEMPLATE" "$WINEPREFIX"
    rm -f "$WINEPREFIX/.complete"
    local link
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
        [ -L "$link" ] && [ "$(readlink "$link")" = "$PREFIX_TEMPLATE.home" ] && ln -sfn "$HOME" "$link"
    done
    return 0
}

wineserver_stop() {
    WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true
    WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -w 2>/dev/null || true
}

# Starts a command in a tmux console of CONSOLE_COLUMNS x CONSOLE_ROWS
# (160 x 50 unless set); its exit status lands in $SCRATCH/exit-status when
# it ends.
start_console() {
    local folder=$1
    shift
    tmux -L "$TMUX_SOCKET" new-session -d -s setup -x "${CONSOLE_COLUMNS:-160}" \
        -y "${CONSOLE_ROWS:-50}" \
        "cd '$folder' && $*; echo \$? > '$SCRATCH/exit-status'; sleep 3600"
}

screen_text() {
    tmux -L "$TMUX_SOCKET" capture-pane -p -t setup -S -200
}

# Everything the console showed, scrollback included, with each line that
# wrapped joined to its continuation.
whole_history() {
    tmux -L "$TMUX_SOCKET" capture-pane -p -J -t setup -S -
}

screen_with_colours() {
    tmux -L "$TMUX_SOCKET" capture-pane -p -e -t setup -S -200
}

# Waits until the screen shows the text (fixed string), at most $2 seconds.
wait_for_text() {
    local text=$1 limit=$((${2:-60} * ${WAIT_SCALE:-1})) waited=0
    while ! screen_text | grep -qF -- "$text"; do
        sleep 0.5
        waited=$((waited + 1))
        [ $waited -lt $((limit * 2)) ] || fail "timed out waiting for: $text"
    done
}

# Waits for the text to appear one more time than it does now.
wait_for_more() {
    local text=$1 limit=$((${2:-60} * ${WAIT_SCALE:-1})) before waited=0
    before=$(screen_text | grep -cF -- "$text")
    while [ "$(screen_text | grep -cF -- "$text")" -le "$before" ]; do
        sleep 0.5
        waited=$((waited + 1))
        [ $waited -lt $((limit * 2)) ] || fail "timed out waiting for another: $text"
    done
}

type_line() {
    tmux -L "$TMUX_SOCKET" send-keys -t setup -l -- "$1"
    tmux -L "$TMUX_SOCKET" send-keys -t setup Enter
}

wait_for_exit() {
    local limit=$((${1:-120} * ${WAIT_SCALE:-1})) waited=0
    while [ ! -s "$SCRATCH/exit-status" ]; do
        sleep 0.5
        waited=$((waited + 1))
        [ $waited -lt $((limit * 2)) ] || fail "the program did not end"
    done
    cat "$SCRATCH/exit-status"
}

# answer_defaults_and_confirm [TEXT=ANSWER]...: waits for each prompt (the
# first PROMPT_CHARS characters of its text, where set) and types its answer
# there (see prompt_answer).
answer_defaults_and_confirm() {
    local i
    for i in "${!PROMPT_TEXTS[@]}"; do
        wait_for_text "${PROMPT_TEXTS[i]:0:${PROMPT_CHARS:-${#PROMPT_TEXTS[i]}}}" 90
        type_line "$(prompt_answer "$i" "$@")"
    done
}

# The distribution (DIST) started in the console from WORK, with the
# stand-in SQL*Plus in $SCRATCH/bin on its WINEPATH; the questions answered
# with their defaults and Y, up to SQL*Plus's first password prompt.
install_in_console_up_to_sqlplus() {
    make_wine_distribution
    mkdir -p "$SCRATCH/bin"
    cp "$SQLPLUS_EXE" "$SCRATCH/bin/"
    start_console "$WORK" "WINEPATH='$(windows_path "$SCRATCH/bin")' '$WINE' '$DIST/setup.exe'"
    answer_defaults_and_confirm
    wait_for_text "Enter the password for QUARNDEL:" 120
}

# A distribution folder: the demo distribution with setup.exe at its root.
make_wine_distribution() {
    DIST="$SCRATCH/dist"
    make_distribution "$DIST"
}
