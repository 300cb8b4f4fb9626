#!/bin/sh
# A short run of the shipped i686 installer itself, for hosts that can run it
# (scripts/test.sh decides): what the x86_64 twin cannot show, a 32-bit
# process's calls through the function tables, its PE32 self-check, its WOW64
# registry view. In a prefix of its own, into a demo installation:
#   1. `modest`: exit 0, no box, lvm0.pak the embedded package byte for byte;
#   2. a copy with one byte changed: the "distorted" box, answered, exit 1603.
#   scripts/smoke-shipped.sh BUILD_DIR [INSTALLER_TREE [INSTALLER]]
# INSTALLER_TREE (BUILD_DIR by default) is the tree whose installer is run:
# BUILD_DIR/x86_64 tries the smoke itself on a host without 32-bit code.
# INSTALLER (that tree's bin/lvm0-setup.exe by default) is another copy of its
# installer to run, such as a signed one. LVM_SMOKE_PREFIX names the prefix
# (BUILD_DIR/smoke-prefix by default), made afresh.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
tree=$(cd "${2:-$build}" && pwd)
setup="${3:-$tree/bin/lvm0-setup.exe}"
export LVM_WINEPREFIX="${LVM_SMOKE_PREFIX:-$build/smoke-prefix}"
rm -rf "$LVM_WINEPREFIX" "$LVM_WINEPREFIX.lock"
. "$root/scripts/wine-session.sh"
. "$root/scripts/demo-installation.sh"
# The runner and the stand-in of whichever tree Wine runs here; the installer is the shipped one.
bin="$(lvm_runnable_build "$build")/bin"
lvm_make_demo_installation "$bin"

failed=0
check() {  # WHAT EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then echo "smoke: ok: $1"; else echo "smoke: FAIL: $1: expected '$2', got '$3'"; failed=1; fi
}

cp "$setup" "$WINEPREFIX/drive_c/lvm0-setup.exe"
out=$(wine "$bin/lvm-run.exe" 'C:\lvm0-setup.exe' modest | tr -d '\r')
check "modest install: exit code" "exit code: 0" "$(echo "$out" | grep '^exit code:')"
check "modest install: no box" "" "$(echo "$out" | grep '^message box')"
if cmp -s "$tree/package/lvm0/lvm0.pak" "$app_dir/lvm0.pak"; then
    echo "smoke: ok: lvm0.pak is the embedded package"
else
    echo "smoke: FAIL: lvm0.pak is not the embedded package"; failed=1
fi

# One bit changed a third of the way in: the self-check must refuse the copy.
distorted="$WINEPREFIX/drive_c/lvm0-distorted.exe"
cp "$setup" "$distorted"
at=$(($(stat -c %s "$setup") / 3))
byte=$(od -An -tu1 -j"$at" -N1 "$setup" | tr -d ' ')
# shellcheck disable=SC2059 # the format is the byte itself, in octal
printf "\\$(printf %o $((byte ^ 128)))" | dd of="$distorted" bs=1 seek="$at" conv=notrunc status=none
out=$(wine "$bin/lvm-run.exe" --answers=ok 'C:\lvm0-distorted.exe' modest | tr -d '\r')
check "distorted copy: the box" "The package file has been distorted!" "$(echo "$out" | sed -n '2s/^  //p')"
check "distorted copy: exit code" "exit code: 1603" "$(echo "$out" | grep '^exit code:')"
exit $failed
