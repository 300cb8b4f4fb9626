#!/bin/sh
# Runs a command where i386 programs start through qemu-i386, registered in a
# binfmt_misc of this command's own user and mount namespace: a kernel of
# 6.7 or later gives each such namespace its own, so nothing changes for the
# rest of the machine. For hosts whose kernel runs no 32-bit user code.
#
#   scripts/i386-namespace.sh COMMAND [ARG...]   (exit 125: no such namespace here)
#   scripts/i386-namespace.sh --inside COMMAND [ARG...]   (what the namespace runs)
set -eu
LVM_QEMU_I386="${LVM_QEMU_I386:-/usr/bin/qemu-i386-static}"
# An i386 ELF program or library (e_type EXEC or DYN, e_machine 3), as
# Debian's own registration matches it. F: qemu is opened now, so the
# namespace's programs find it whatever their root.
LVM_I386_BINFMT=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'

if [ "${1:-}" = --inside ]; then
    shift
    if ! mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null ||
        ! printf '%s%s:F' "$LVM_I386_BINFMT" "$LVM_QEMU_I386" >/proc/sys/fs/binfmt_misc/register 2>/dev/null; then
        exit 125
    fi
    exec "$@"
fi
[ -x "$LVM_QEMU_I386" ] || exit 125
unshare --user --map-root-user --mount true 2>/dev/null || exit 125
exec unshare --user --map-root-user --mount "$0" --inside "$@"
