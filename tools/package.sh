#!/usr/bin/env bash
# Packs the operator's zips: the demo distribution with setup.exe at its
# root, 32-bit (the one to ship) and 64-bit. Needs build/win32 and build/win64.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT="$ROOT/build/package"
rm -rf "$OUT"
mkdir -p "$OUT"
for bits in 32 64; do
    stage="$OUT/stage$bits/quarndel-setup"
    mkdir -p "$stage"
    cp -r "$ROOT/dist/." "$stage/"
    cp "$ROOT/build/win$bits/setup.exe" "$stage/setup.exe"
    (cd "$OUT/stage$bits" && zip -qrX "$OUT/quarndel-setup-win$bits.zip" quarndel-setup)
    rm -rf "$OUT/stage$bits"
done
ls -l "$OUT"/*.zip
