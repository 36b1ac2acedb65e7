#!/usr/bin/env bash
# How this machine runs 32-bit x86 programs (the 32-bit Wine loader that
# runs the shipping setup.exe is one).
#
#   tools/run-32bit.sh mode     prints "native", "emulated" or
#                               "none: <reason>"
#   tools/run-32bit.sh enable   where the kernel cannot run them, installs
#                               qemu-user-static and hands 32-bit programs to
#                               it through binfmt_misc; says in one line what
#                               it did. Safe to run again.
#
# SETUP_WIN32_EMULATED=1 makes "mode" say "emulated" wherever 32-bit code
# runs at all, so that the emulated path can be tried on any machine.
set -euo pipefail

BINFMT=/proc/sys/fs/binfmt_misc
ENTRY=qemu-i386
QEMU=/usr/bin/qemu-i386-static
# The i386 ELF executable's header, and which of its bits count, as qemu's
# own binfmt configuration registers it.
MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# Runs the smallest 32-bit program there is (exit(0) through int 0x80):
# true when the machine runs 32-bit code one way or the other.
runs_32bit() {
    local probe status=0
    probe=$(mktemp /tmp/setup-probe32-XXXXXX)
    # ELF header, one loadable segment, then mov eax,1; xor ebx,ebx; int 0x80.
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    return "$status"
}

entry_enabled() {
    [ -f "$BINFMT/$ENTRY" ] && head -1 "$BINFMT/$ENTRY" | grep -qx enabled
}

mode() {
    if entry_enabled && runs_32bit; then
        echo emulated
    elif runs_32bit; then
        if [ "${SETUP_WIN32_EMULATED:-0}" = 1 ]; then echo emulated; else echo native; fi
    elif [ ! -e "$BINFMT/register" ]; then
        echo "none: this kernel cannot run 32-bit programs and binfmt_misc is not mounted (tools/run-32bit.sh enable, as root)"
    elif [ ! -x "$QEMU" ]; then
        echo "none: this kernel cannot run 32-bit programs and qemu-user-static is not installed (tools/run-32bit.sh enable, as root)"
    else
        echo "none: this kernel cannot run 32-bit programs, not even through $QEMU"
    fi
}

enable() {
    if runs_32bit; then
        entry_enabled && echo "32-bit programs: emulated by $QEMU (binfmt_misc entry $ENTRY already there)"
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "32-bit programs: this kernel cannot run them, and only root can hand them to qemu-user-static" >&2
        return 0
    fi
    if [ ! -x "$QEMU" ]; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null ||
            { echo "32-bit programs: this kernel cannot run them, and qemu-user-static did not install" >&2; return 0; }
    fi
    if [ ! -e "$BINFMT/register" ]; then
        mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null ||
            { echo "32-bit programs: this kernel cannot run them, and binfmt_misc cannot be mounted" >&2; return 0; }
    fi
    # An entry of that name that is there but switched off is replaced.
    [ ! -f "$BINFMT/$ENTRY" ] || echo -1 >"$BINFMT/$ENTRY"
    # F: the kernel opens qemu now, so that it runs in any mount namespace.
    printf ':%s:M::%s:%s:%s:F\n' "$ENTRY" "$MAGIC" "$MASK" "$QEMU" >"$BINFMT/register" 2>/dev/null ||
        { echo "32-bit programs: this kernel cannot run them, and binfmt_misc refused the qemu entry" >&2; return 0; }
    if runs_32bit; then
        echo "32-bit programs: this kernel cannot run them; handed to $QEMU through binfmt_misc (emulated, slow)"
    else
        echo "32-bit programs: this kernel cannot run them, not even through $QEMU" >&2
    fi
}

case "${1:-}" in
    mode) mode ;;
    enable) enable ;;
    *) echo "usage: $0 mode|enable" >&2; exit 2 ;;
esac
