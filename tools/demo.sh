#!/usr/bin/env bash
# The main job: builds the program and runs setup interactively in this
# terminal from the bundled demo distribution, as an operator would on
# Windows. Drive C: is a scratch folder; the stand-in SQL*Plus (no database
# runs here) is first on PATH. Installs missing Debian packages when root.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEMO=${DEMO_DIR:-/tmp/quarndel-demo}

bash "$ROOT/tools/install-packages.sh"
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target setup sqlplus >/dev/null

rm -rf "$DEMO"
mkdir -p "$DEMO/c/users/${USER:-$(id -un)}/Desktop" "$DEMO/work"
cp -r "$ROOT/dist" "$DEMO/dist"
cp "$ROOT/build/linux/setup" "$DEMO/dist/setup"

echo "Distribution unpacked in $DEMO/dist; drive C: is $DEMO/c; install.log goes to $DEMO/work."
echo "Press Enter to take each default, answer Y, then give any three passwords to SQL*Plus."
echo
cd "$DEMO/work"
status=0
SETUP_DRIVE_C="$DEMO/c" PATH="$ROOT/build/linux/tools/sqlplus:$PATH" "$DEMO/dist/setup" || status=$?

echo
echo "setup ended with exit status $status."
echo "Installed tree: $DEMO/c/XEPDB1/QUARNDEL"
echo "Log:            $DEMO/work/install.log"
echo "SQL*Plus stand-in transcript: $DEMO/work/sqlplus-transcript.log"
link=$(ls "$DEMO"/c/users/*/Desktop/*.lnk 2>/dev/null | head -1 || true)
if [ -n "$link" ]; then
    echo "Desktop shortcut: $link"
    lnkinfo "$link" | grep -E 'Local path|Working directory|Description' || true
fi
exit "$status"
