# Sourced by every script that starts Wine; expects $lvm_cmake_dir (this folder).
#
# Debian's `wine` (and `wine-stable`, which `wineboot` calls) starts Wine's
# 32-bit loader first, which hands 64-bit programs on to the 64-bit one. A
# host whose kernel runs 64-bit user code only (IA-32 emulation off: every
# 32-bit execve fails with ENOEXEC) cannot start that loader at all. There the
# shims in wine64-shims/ send both names straight to the 64-bit loader; only
# 64-bit Windows programs can run, so the tests run against the x86_64 build
# (scripts/build.sh makes it beside the shipped i686 one).
#
# Sets LVM_HOST_RUNS_32BIT=yes|no once, for this shell and its children.
# A 32-bit loader that starts only through an emulator registered with
# binfmt_misc (qemu-i386) does not count: every Wine process would take a
# minute to start. An entry that is registered but disabled is no emulator.
lvm_i386_emulated() {
    for entry in /proc/sys/fs/binfmt_misc/*; do
        # Some entries ("register") cannot be read.
        if [ "$(head -n 1 "$entry" 2>/dev/null)" = enabled ] && grep -qs '^interpreter .*qemu-i386' "$entry"; then
            return 0
        fi
    done
    return 1
}
if [ -z "${LVM_HOST_RUNS_32BIT:-}" ]; then
    if [ -x /usr/lib/wine/wine ] && ! lvm_i386_emulated && /usr/lib/wine/wine --version >/dev/null 2>&1; then
        LVM_HOST_RUNS_32BIT=yes
    else
        LVM_HOST_RUNS_32BIT=no
    fi
    export LVM_HOST_RUNS_32BIT
fi
if [ "$LVM_HOST_RUNS_32BIT" = no ]; then
    export WINELOADER=/usr/lib/wine/wine64
    case ":$PATH:" in
        *":$lvm_cmake_dir/wine64-shims:"*) ;;
        *) PATH="$lvm_cmake_dir/wine64-shims:$PATH"; export PATH ;;
    esac
fi

# The build tree whose programs Wine can run here: the build itself, or its
# x86_64 twin on a host without 32-bit user code.
lvm_runnable_build() {
    if [ "$LVM_HOST_RUNS_32BIT" = yes ]; then echo "$1"; else echo "$1/x86_64"; fi
}
