#!/usr/bin/env bash
# A signed release, with a throw-away self-signed code-signing certificate:
# package.sh signs both exes from a PKCS#12 file and the win32 one from a
# key and certificate pair; each signature verifies and covers the file, the
# resources are still there, and the signed win32 zip installs under Wine.
# Without a certificate the zips are unsigned and package.sh says so; half a
# certificate stops it.
set -euo pipefail
source "$(dirname "$0")/../lib/common.bash"
command -v openssl >/dev/null || skip "openssl is not installed"
command -v osslsigncode >/dev/null || skip "osslsigncode is not installed"
for build in win32 win64; do
    [ -f "$PRESET_TREES/$build/setup.exe" ] || fail "$PRESET_TREES/$build/setup.exe is missing; build the $build preset first"
done
make_scratch release
cd "$SCRATCH"
VERSION=$(project_version)

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout key.pem -out cert.pem \
    -subj "/CN=Quarndel Demo Software Ltd." -addext extendedKeyUsage=codeSigning >/dev/null 2>&1 ||
    fail "openssl made no certificate"
echo "throw-away" >password.txt
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout file:password.txt ||
    fail "openssl made no PKCS#12 file"

package() {
    bash "$ROOT/tools/package.sh" --builds "$PRESET_TREES" --out "$@" >package.out 2>&1 || { cat package.out >&2; return 1; }
}
SETUP_SIGN_PKCS12=cert.p12 SETUP_SIGN_PASSWORD_FILE=password.txt package p12 || fail "signing from PKCS#12"
grep -qx 'Signed setup.exe (win32 win64) as /CN=Quarndel Demo Software Ltd.' package.out ||
    fail "package.sh said: $(head -1 package.out)"
SETUP_SIGN_KEY=key.pem SETUP_SIGN_CERT=cert.pem package pair win32 || fail "signing from a key and certificate"

for zip in p12/*-win32.zip p12/*-win64.zip pair/*-win32.zip; do
    build=${zip%.zip}
    build=${build##*-}
    rm -rf unpacked && unzip -q "$zip" -d unpacked
    exe=unpacked/quarndel-setup/setup.exe
    osslsigncode verify -CAfile cert.pem -in "$exe" >verify.out 2>&1 &&
        grep -qx 'Signature verification: ok' verify.out || { cat verify.out >&2; fail "$zip: the signature does not verify"; }
    # One byte of the code changed: the signature no longer covers the file.
    cp "$exe" tampered.exe
    printf '\x90' | dd of=tampered.exe bs=1 seek=4096 conv=notrunc status=none
    if osslsigncode verify -CAfile cert.pem -in tampered.exe >/dev/null 2>&1; then
        fail "$zip: a changed exe still verifies"
    fi
    bash "$ROOT/tests/pe/resources_test.sh" "$build" "$exe" || fail "$zip: resources after signing"
done

(unset SETUP_SIGN_PKCS12 SETUP_SIGN_KEY SETUP_SIGN_CERT && package unsigned win32) || fail "unsigned zips"
grep -qx 'Unsigned zips: no certificate named (see README, Releases)' package.out || fail "unsigned run said: $(head -1 package.out)"
if SETUP_SIGN_KEY=key.pem package half win32 2>/dev/null; then fail "a key without its certificate made zips"; fi
[ ! -e half/quarndel-setup-$VERSION-win32.zip ] || fail "a key without its certificate left a zip"

# The signed shipping zip installs; where 32-bit code is emulated (minutes
# per process) the signed win64 zip does, and the win32 smoke set runs the
# unsigned win32 one.
build=win32
[ "$(bash "$ROOT/tools/run-32bit.sh" mode)" != emulated ] || build=win64
status=0
SETUP_ZIP=$SCRATCH/p12/quarndel-setup-$VERSION-$build.zip bash "$ROOT/tests/wine/zip_unattended_test.sh" $build || status=$?
[ "$status" != 77 ] || skip "the signed $build exe cannot run here (see above)"
[ "$status" = 0 ] || fail "the signed $build zip did not install under Wine"
pass "signed from PKCS#12 and from a key pair, verified, resources kept, the signed $build zip runs under Wine"
