#!/usr/bin/env bash
# Packs the operator's zips: the demo distribution with setup.exe at its
# root, 32-bit (the one to ship) and 64-bit, with SHA256SUMS beside them.
#   tools/package.sh [--out FOLDER] [--builds FOLDER] [win32|win64 ...]
# Brings the builds named (both unless any is) up to date through their
# presets, so that no stale exe is packed, and packs them; the zips land in FOLDER (build/package unless given) as
# quarndel-setup-<version>-<build>.zip, the version being the project's.
# With --builds, the exes are taken as they are from FOLDER/<build>/ (the ci
# tree's own Windows trees, which its build has just brought up to date)
# and no preset is built.
#
# The same commit gives the same zips: every entry carries the time
# SOURCE_DATE_EPOCH (the commit's time unless set), in one order, with
# fixed permissions.
#
# Signing, when the environment names a certificate:
#   SETUP_SIGN_PKCS12 and SETUP_SIGN_PASSWORD_FILE  a PKCS#12 file and a
#                                                   file holding its password
#   SETUP_SIGN_KEY and SETUP_SIGN_CERT              a private key and its
#       certificate (PEM or DER); SETUP_SIGN_PASSWORD_FILE if the key has one
#   SETUP_SIGN_TIMESTAMP_URL                        optional: an RFC 3161
#                                                   time-stamp server
# Each setup.exe is then signed with osslsigncode before it is packed.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)

die() {
    echo "package.sh: $*" >&2
    exit 1
}

OUT="$ROOT/build/package"
TREES=
BUILDS=()
while [ $# -gt 0 ]; do
    case "$1" in
        --out) [ $# -ge 2 ] || die "--out needs a folder"; OUT=$2; shift 2 ;;
        --builds) [ $# -ge 2 ] || die "--builds needs a folder"; TREES=$(cd "$2" && pwd) || die "no folder $2"; shift 2 ;;
        win32 | win64) BUILDS+=("$1"); shift ;;
        *) die "usage: $0 [--out FOLDER] [--builds FOLDER] [win32|win64 ...]" ;;
    esac
done
[ ${#BUILDS[@]} -gt 0 ] || BUILDS=(win32 win64)

VERSION=$(sed -n 's/^project(quarndel_setup VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' "$ROOT/CMakeLists.txt")
[ -n "$VERSION" ] || die "no project VERSION in $ROOT/CMakeLists.txt"

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null) ||
        die "not a git checkout: set SOURCE_DATE_EPOCH to the time of the sources"
fi
case "$SOURCE_DATE_EPOCH" in
    '' | *[!0-9]*) die "SOURCE_DATE_EPOCH '$SOURCE_DATE_EPOCH' is not a number of seconds" ;;
esac
# A zip holds times from 1980 on.
[ "$SOURCE_DATE_EPOCH" -ge 315532800 ] || die "SOURCE_DATE_EPOCH $SOURCE_DATE_EPOCH is before 1980"

# The signing arguments, when a certificate is named. Half a certificate is
# a mistake, not a request for unsigned zips.
SIGN=()
if [ -n "${SETUP_SIGN_PKCS12:-}" ]; then
    [ -z "${SETUP_SIGN_KEY:-}${SETUP_SIGN_CERT:-}" ] ||
        die "name either SETUP_SIGN_PKCS12 or SETUP_SIGN_KEY and SETUP_SIGN_CERT, not both"
    [ -n "${SETUP_SIGN_PASSWORD_FILE:-}" ] || die "SETUP_SIGN_PKCS12 needs SETUP_SIGN_PASSWORD_FILE"
    SIGN=(-pkcs12 "$SETUP_SIGN_PKCS12")
elif [ -n "${SETUP_SIGN_KEY:-}${SETUP_SIGN_CERT:-}" ]; then
    [ -n "${SETUP_SIGN_KEY:-}" ] && [ -n "${SETUP_SIGN_CERT:-}" ] ||
        die "SETUP_SIGN_KEY and SETUP_SIGN_CERT go together"
    SIGN=(-certs "$SETUP_SIGN_CERT" -key "$SETUP_SIGN_KEY")
fi
if [ ${#SIGN[@]} -gt 0 ]; then
    command -v osslsigncode >/dev/null || die "osslsigncode is not installed"
    for file in "${SETUP_SIGN_PKCS12:-}" "${SETUP_SIGN_KEY:-}" "${SETUP_SIGN_CERT:-}" \
        "${SETUP_SIGN_PASSWORD_FILE:-}"; do
        [ -z "$file" ] || [ -r "$file" ] || die "cannot read $file"
    done
    [ -z "${SETUP_SIGN_PASSWORD_FILE:-}" ] || SIGN+=(-readpass "$SETUP_SIGN_PASSWORD_FILE")
    SIGN+=(-h sha256 -n "Quarndel Oracle Demo Application Setup")
    [ -z "${SETUP_SIGN_TIMESTAMP_URL:-}" ] || SIGN+=(-ts "$SETUP_SIGN_TIMESTAMP_URL")
fi

mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
STAGE=$(mktemp -d "$OUT/stage-XXXXXX")
trap 'rm -rf "$STAGE"' EXIT
for build in "${BUILDS[@]}"; do
    if [ -n "$TREES" ]; then
        [ -f "$TREES/$build/setup.exe" ] || die "no $TREES/$build/setup.exe"
        continue
    fi
    (cd "$ROOT" && cmake --preset "$build" && cmake --build --preset "$build") >"$STAGE/build.log" 2>&1 ||
        { tail -30 "$STAGE/build.log" >&2; die "the $build preset does not build"; }
done
EXES=${TREES:-$ROOT/build}
rm -f "$OUT"/quarndel-setup-*.zip "$OUT/SHA256SUMS"

ZIPS=()
for build in "${BUILDS[@]}"; do
    folder="$STAGE/$build/quarndel-setup"
    mkdir -p "$folder"
    cp -r "$ROOT/dist/." "$folder/"
    if [ ${#SIGN[@]} -gt 0 ]; then
        osslsigncode sign "${SIGN[@]}" -in "$EXES/$build/setup.exe" -out "$folder/setup.exe" >/dev/null ||
            die "signing $EXES/$build/setup.exe failed"
    else
        cp "$EXES/$build/setup.exe" "$folder/setup.exe"
    fi
    find "$folder" -type d -exec chmod 0755 {} +
    find "$folder" -type f -exec chmod 0644 {} +
    chmod 0755 "$folder/setup.exe"
    find "$folder" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    zip_name="quarndel-setup-$VERSION-$build.zip"
    # Zip keeps local time: UTC makes it the same everywhere. No extra
    # fields (owner, Unix times), and the entries in byte order.
    (cd "$STAGE/$build" && find quarndel-setup | LC_ALL=C sort |
        TZ=UTC0 zip -qX -@ "$OUT/$zip_name")
    ZIPS+=("$zip_name")
done
(cd "$OUT" && sha256sum "${ZIPS[@]}" >SHA256SUMS)

if [ ${#SIGN[@]} -gt 0 ]; then
    # The publisher Windows shows is the signer's subject (verify may still
    # fail here: the certificate's authority need not be on this machine).
    subject=$({ osslsigncode verify -in "$STAGE/${BUILDS[0]}/quarndel-setup/setup.exe" 2>/dev/null || true; } |
        sed -n 's/^[[:space:]]*Subject: *//p' | head -1)
    echo "Signed setup.exe (${BUILDS[*]})${subject:+ as $subject}"
else
    echo "Unsigned zips: no certificate named (see README, Releases)"
fi
(cd "$OUT" && ls -l "${ZIPS[@]}" SHA256SUMS)
