#!/bin/sh
# A short run of the shipped i686 installer itself: what the x86_64 twin
# cannot show, a 32-bit process's calls through the function tables, its PE32
# self-check, its WOW64 registry view. In a prefix of its own, into a demo
# installation:
#   1. `modest`: exit 0, no box, the package file the embedded one byte for byte;
#   2. a copy with one byte changed: the "distorted" box, answered, exit 1603.
# Each run must also have finished: its log ends with its exit code. Wine
# reports 0 for a process that a Unix signal ended, so the code alone would
# count a crash as an install.
#   scripts/smoke-shipped.sh [--package DESCRIPTION] BUILD_DIR [INSTALLER_TREE [INSTALLER]]
# DESCRIPTION (packages/lvm0.ini by default) names the add-on whose installer
# BUILD_DIR holds.
# INSTALLER_TREE (BUILD_DIR by default) is the tree whose installer is run:
# BUILD_DIR/x86_64 tries the smoke itself on a host without 32-bit code.
# INSTALLER (that tree's bin/NAME-setup.exe by default) is another copy of its
# installer to run, such as a signed one. LVM_SMOKE_PREFIX names the prefix
# (BUILD_DIR/smoke-prefix by default), made afresh.
#
# On a host whose kernel runs no 32-bit user code, a 32-bit installer runs
# under qemu-i386, registered in a namespace of the smoke run's own
# (scripts/i386-namespace.sh); the runner and the stand-in stay the x86_64
# twin's. Where that cannot be, it says why in one line and exits 77.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/package-options.sh"
lvm_take_package_option "$@" || exit 1
eval "set -- $lvm_other_arguments"
build=$(cd "$1" && pwd)
tree=$(cd "${2:-$build}" && pwd)
setup="${3:-$tree/bin/$package-setup.exe}"
lvm_cmake_dir="$root/cmake"
. "$lvm_cmake_dir/wine-host.sh"

is_pe32() {  # the machine field of the PE header: 0x014c is i386
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    [ "$(od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' ')" = 014c ]
}
if [ "$LVM_HOST_RUNS_32BIT" = no ] && [ -z "${LVM_SMOKE_EMULATED:-}" ] && is_pe32 "$setup"; then
    . "$root/scripts/i386-probe.sh"
    if ! lvm_i386_emulation_possible; then
        echo "smoke: skipped: the shipped i686 installer cannot run here: this host runs no 32-bit user code, and $lvm_i386_why"
        exit 77
    fi
    export LVM_SMOKE_EMULATED=$lvm_i386_emulation
    if [ "$lvm_i386_emulation" = namespace ]; then
        echo "smoke: this host runs no 32-bit user code: the i686 installer runs under qemu-i386 in a namespace of its own (minutes, not seconds)"
        exec "$root/scripts/i386-namespace.sh" "$0" --package "$description" "$@"
    fi
    echo "smoke: this host runs no 32-bit user code: the i686 installer runs under the qemu-i386 the machine has registered (minutes, not seconds)"
fi

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
cores="$LVM_WINEPREFIX/cores"
mkdir -p "$cores"
# qemu-i386 dies now and then inside Wine's own signal handling, not in the
# installer: qemu-user keeps one GDT for the whole process, so the
# thread-local entry that gives each Wine thread its TEB names the thread
# that set it last; after the self-check's thread has ended, a signal to the
# main thread reloads a cleared TEB, Wine's handler faults within itself and
# qemu ends the process ("uncaught target signal 11"; docs/testing.md). A
# Windows program's own fault never ends a Wine process by a Unix signal:
# Wine turns it into an exception, and an unhandled one ends the process with
# its code. So a death by a signal is the emulator's only when the guest's
# core shows the fault in Wine's Unix-side code beneath a signal handler;
# then, and only then, the same step runs again (five tries in all).
# What the guest's core says: the signal that ended it and the first frames.
core_report() {  # CORE
    command -v gdb-multiarch >/dev/null || return 0
    gdb-multiarch -batch -ex 'set architecture i386' -ex 'bt 4' /usr/lib/wine/wine "$1" 2>/dev/null
}
# True when a core report shows the emulator's known fault.
emulator_fault() {  # REPORT
    echo "$1" | grep -q '^#0 .* from .*/i386-unix/ntdll\.so$' && echo "$1" | grep -q '<signal handler called>'
}

# Runs the runner on an installer copied to C:\NAME with a log beside it;
# sets out (the runner's account) and last (the log's last line).
run_installer() {  # NAME RUNNER-ARGUMENTS...
    name=$1; shift
    log="$WINEPREFIX/drive_c/$name.log"
    for try in 1 2 3 4 5; do
        rm -f "$log" "$cores"/*
        console=$(cd "$cores" && { ulimit -c unlimited 2>/dev/null || true; } && wine "$bin/lvm-run.exe" "$@" "/log=C:\\$name.log" 2>&1 >"$cores/out") || true
        out=$(tr -d '\r' <"$cores/out")
        last=$(tail -n 1 "$log" 2>/dev/null | tr -d '\r' | sed 's/^.* exit code /exit code /')
        # A death by a signal under qemu leaves the guest's core here, and
        # qemu's line "uncaught target signal 11 (Segmentation fault)" (which
        # it leaves out when it also dumps its own core).
        core=$(ls "$cores"/qemu_*.core 2>/dev/null | head -n 1)
        report=""
        if [ -n "$core" ]; then report=$(core_report "$core"); fi
        signal=$(echo "$console" | sed -n 's/.*uncaught target signal \([0-9]* ([^)]*)\).*/\1/p' | head -n 1)
        if [ -z "$signal" ] && [ -n "$core" ]; then
            signal=$(echo "$report" | sed -n 's/^Program terminated with signal \(.*\)\.$/\1/p')
            signal=${signal:-"(unknown)"}
        fi
        [ -z "$signal" ] && return 0
        if ! emulator_fault "$report"; then
            echo "smoke: FAIL: $name: the installer's process was ended by signal $signal"
            failed=1
            return 0
        fi
        echo "smoke: $name: try $try: qemu-i386 ended the process by signal $signal inside Wine's own signal handler (core: fault in i386-unix/ntdll.so beneath a signal frame), not in the installer; this try says nothing about it"
    done
    echo "smoke: FAIL: $name: the emulator failed five tries in a row"
    failed=1
}

cp "$setup" "$WINEPREFIX/drive_c/$package-setup.exe"
rm -f "$app_dir/$package_file"
run_installer modest "C:\\$package-setup.exe" modest
check "modest install: exit code" "exit code: 0" "$(echo "$out" | grep '^exit code:')"
check "modest install: the log ends with it" "exit code 0" "$last"
check "modest install: no box" "" "$(echo "$out" | grep '^message box')"
if cmp -s "$tree/package/$package/$package_file" "$app_dir/$package_file"; then
    echo "smoke: ok: $package_file is the embedded package"
else
    echo "smoke: FAIL: $package_file is not the embedded package"; failed=1
fi

# One bit changed a third of the way in: the self-check must refuse the copy.
distorted="$WINEPREFIX/drive_c/$package-distorted.exe"
cp "$setup" "$distorted"
at=$(($(stat -c %s "$setup") / 3))
byte=$(od -An -tu1 -j"$at" -N1 "$setup" | tr -d ' ')
# shellcheck disable=SC2059 # the format is the byte itself, in octal
printf "\\$(printf %o $((byte ^ 128)))" | dd of="$distorted" bs=1 seek="$at" conv=notrunc status=none
run_installer distorted --answers=ok "C:\\$package-distorted.exe" modest
check "distorted copy: the box" "The package file has been distorted!" "$(echo "$out" | sed -n '2s/^  //p')"
check "distorted copy: exit code" "exit code: 1603" "$(echo "$out" | grep '^exit code:')"
check "distorted copy: the log ends with it" "exit code 1603" "$last"
rm -rf "$cores"
exit $failed
