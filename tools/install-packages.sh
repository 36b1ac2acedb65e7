#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, when any is
# missing and we are root, then makes sure 32-bit programs run (emulated
# where the kernel cannot run them: tools/run-32bit.sh). Safe to run again.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
needed=(cmake g++ make libgtest-dev googletest clang libclang-rt-14-dev
        g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 tmux liblnk-utils zip unzip
        python3 python3-pefile binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 file
        python3-pil fonts-dejavu-core wine32:i386 openssl osslsigncode git)
missing=()
for package in "${needed[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exec bash "$HERE/run-32bit.sh" enable
if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}; run this as root to install them." >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
# The 32-bit Wine that runs the shipping exe comes from the i386 archive.
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
# A mirror caught mid-sync fails one index or another. The ones that did
# arrive may still hold every package, so try the install first. When the
# security index of one architecture is missing, the 32-bit and 64-bit
# copies of a library are offered at different versions and cannot be
# installed side by side; the release's own versions then agree.
apt-get update -qq || echo "apt-get update reported errors; trying the install with the indexes it has" >&2
install_missing() { apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" >/dev/null; }
if ! install_missing; then
    echo "Retrying the install with the release's own package versions" >&2
    install_missing -t "$(. /etc/os-release && echo "$VERSION_CODENAME")"
fi
exec bash "$HERE/run-32bit.sh" enable
