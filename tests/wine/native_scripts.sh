#!/usr/bin/env bash
# A default install with the native build into folder $1 (C: is $1/c), with
# a SQL*Plus that only succeeds: the reference for the generated scripts.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
OUT=$1
rm -rf "$OUT"
mkdir -p "$OUT/c/users/${USER:-$(id -un)}/Desktop" "$OUT/bin" "$OUT/work"
cp -r "$ROOT/dist" "$OUT/dist"
cp "$ROOT/build/linux/setup" "$OUT/dist/setup"
printf '#!/bin/sh\nexit 0\n' > "$OUT/bin/sqlplus"
chmod +x "$OUT/bin/sqlplus"
cd "$OUT/work"
printf '\n\n\n\n\n\nY\n\n' | SETUP_DRIVE_C="$OUT/c" PATH="$OUT/bin:$PATH" "$OUT/dist/setup"
