#!/usr/bin/env bash
# A default install with the native build into folder $1 (C: is $1/c), with
# a SQL*Plus that only succeeds: the reference for the generated scripts.
set -euo pipefail
source "$(dirname "$0")/../lib/common.bash"
BUILD=linux
SETUP_EXE="$ROOT/build/linux/setup"
OUT=$1
rm -rf "$OUT"
mkdir -p "$OUT/c/users/${USER:-$(id -un)}/Desktop" "$OUT/work"
make_distribution "$OUT/dist"
make_fake_sqlplus "$OUT/bin"
cd "$OUT/work"
printf '\n\n\n\n\n\nY\n\n' | SETUP_DRIVE_C="$OUT/c" PATH="$OUT/bin:$PATH" "$OUT/dist/setup"
