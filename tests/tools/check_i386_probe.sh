#!/bin/sh
# The set-up's decision whether this host runs 32-bit programs, tried here:
# its probe is a well-formed static i386 program that really exits 42 (run
# through qemu-i386 where the emulator is at hand, since this very host may
# refuse it), and the decision and its one-line reason agree with what
# starting the probe here gives.
#   check_i386_probe.sh SOURCE_DIR
set -u
root=$1
. "$root/scripts/i386-probe.sh"
dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

lvm_write_i386_probe "$dir/probe"
header=$(readelf -h -l "$dir/probe" 2>&1)
for fact in 'Class: *ELF32' 'Machine: *Intel 80386' 'Type: *EXEC' 'Entry point address: *0x8048054' \
            'LOAD *0x000000 0x08048000 0x08048000 0x0005d 0x0005d R E'; do
    echo "$header" | grep -q "$fact" || fail "the probe's headers lack '$fact'"
done
[ "$(wc -c <"$dir/probe")" = 93 ] || fail "the probe is not 93 bytes"

for emulator in qemu-i386 qemu-i386-static; do
    if command -v "$emulator" >/dev/null; then
        status=0; "$emulator" "$dir/probe" || status=$?
        [ "$status" = 42 ] || fail "under $emulator the probe exits $status, not 42"
        echo "ok: under $emulator the probe exits 42"
    fi
done

status=0; "$dir/probe" 2>/dev/null || status=$?
lvm_probe_i386
case "$status:$lvm_runs_i386" in
    42:yes|126:no) echo "ok: started here the probe exits $status; decision $lvm_runs_i386: $lvm_i386_why" ;;
    *) fail "started here the probe exits $status, but the decision is '$lvm_runs_i386' ($lvm_i386_why)" ;;
esac
case "$lvm_i386_why" in *"
"*|"") fail "the reason is not one line: '$lvm_i386_why'" ;; esac

# qemu-i386 in a namespace of its own runs the probe and leaves the machine's
# binfmt_misc as it was.
before=$(ls /proc/sys/fs/binfmt_misc 2>/dev/null)
dir=$(mktemp -d)  # lvm_probe_i386 took the first one
lvm_write_i386_probe "$dir/probe"
status=0; "$root/scripts/i386-namespace.sh" "$dir/probe" || status=$?
case $status in
    42) echo "ok: in a namespace of its own, under qemu-i386, the probe exits 42" ;;
    125) echo "ok: no namespace of its own can register qemu-i386 here" ;;
    *) fail "in a namespace of its own the probe exits $status" ;;
esac
[ "$(ls /proc/sys/fs/binfmt_misc 2>/dev/null)" = "$before" ] || fail "the namespace changed the machine's binfmt_misc"
exit $failed
