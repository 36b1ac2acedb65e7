# Shared by the Wine tests: a private Wine prefix, a tmux console, waiting
# for text on the screen. Source it; it defines functions only.

WINE64=/usr/lib/wine/wine64
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

fail() {
    echo "FAIL: $*" >&2
    if [ -n "${TMUX_SOCKET:-}" ]; then
        echo "---- screen ----" >&2
        tmux -L "$TMUX_SOCKET" capture-pane -p -t setup 2>/dev/null >&2 || true
    fi
    exit 1
}

# A scratch folder and a Wine prefix of its own; both go away at exit.
start_scratch() {
    SCRATCH=$(mktemp -d /tmp/setup-wine-XXXXXX)
    export WINEPREFIX="$SCRATCH/prefix"
    export WINEDEBUG=-all
    TMUX_SOCKET="setup-wine-$$"
    trap 'cleanup_scratch' EXIT
    "$WINE64" cmd /c exit >/dev/null 2>&1 || true  # creates the prefix
    DRIVE_C="$WINEPREFIX/drive_c"
    [ -d "$DRIVE_C" ] || fail "the Wine prefix was not created"
}

wineserver_stop() {
    WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true
    WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -w 2>/dev/null || true
}

# Keeps the test's own exit status: nothing here may fail the run.
cleanup_scratch() {
    local status=$?
    tmux -L "$TMUX_SOCKET" kill-server 2>/dev/null || true
    wineserver_stop
    rm -rf "$SCRATCH" 2>/dev/null || true
    exit "$status"
}

# The Windows form of a host path: Wine's Z: drive is the host root.
windows_path() {
    echo "Z:$1" | tr '/' '\\'
}

# Starts a command in a tmux console of 160 x 50; its exit status lands in
# $SCRATCH/exit-status when it ends.
start_console() {
    local folder=$1
    shift
    tmux -L "$TMUX_SOCKET" new-session -d -s setup -x 160 -y 50 \
        "cd '$folder' && $*; echo \$? > '$SCRATCH/exit-status'; sleep 3600"
}

screen_text() {
    tmux -L "$TMUX_SOCKET" capture-pane -p -t setup -S -200
}

screen_with_colours() {
    tmux -L "$TMUX_SOCKET" capture-pane -p -e -t setup -S -200
}

# Waits until the screen shows the text (fixed string), at most $2 seconds.
wait_for_text() {
    local text=$1 limit=${2:-60} waited=0
    while ! screen_text | grep -qF -- "$text"; do
        sleep 0.5
        waited=$((waited + 1))
        [ $waited -lt $((limit * 2)) ] || fail "timed out waiting for: $text"
    done
}

# Waits for the text to appear one more time than it does now.
wait_for_more() {
    local text=$1 limit=${2:-60} before waited=0
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
    local limit=${1:-120} waited=0
    while [ ! -s "$SCRATCH/exit-status" ]; do
        sleep 0.5
        waited=$((waited + 1))
        [ $waited -lt $((limit * 2)) ] || fail "the program did not end"
    done
    cat "$SCRATCH/exit-status"
}

# A distribution folder: the demo distribution with setup.exe at its root.
make_wine_distribution() {
    DIST="$SCRATCH/dist"
    cp -r "$ROOT/dist" "$DIST"
    cp "$ROOT/build/win64/setup.exe" "$DIST/setup.exe"
}
