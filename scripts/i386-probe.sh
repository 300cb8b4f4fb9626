# Sourced by scripts/setup.sh and its test: whether this host runs 32-bit
# (i386) programs, decided without Wine by starting a tiny one.

# A static ELF i386 program of 93 bytes. By line: e_ident; e_type (EXEC) to
# e_flags, entry 0x08048054; e_ehsize to e_shstrndx (no sections); one
# program header loading the whole file at 0x08048000, read and execute;
# the code at offset 84: xor ebx,ebx; mov bl,42; xor eax,eax; inc eax;
# int 0x80, that is exit(42).
# Exit status 42 says the kernel (or a registered emulator) ran 32-bit code;
# "Exec format error" (126) says it cannot.
LVM_I386_PROBE_BYTES="7f 45 4c 46 01 01 01 00 00 00 00 00 00 00 00 00
02 00 03 00 01 00 00 00 54 80 04 08 34 00 00 00 00 00 00 00 00 00 00 00
34 00 20 00 01 00 00 00 00 00 00 00
01 00 00 00 00 00 00 00 00 80 04 08 00 80 04 08 5d 00 00 00 5d 00 00 00
05 00 00 00 00 10 00 00
31 db b3 2a 31 c0 40 cd 80"

lvm_write_i386_probe() {
    : >"$1"
    for byte in $LVM_I386_PROBE_BYTES; do
        # shellcheck disable=SC2059 # the format is the byte itself, in octal
        printf "\\$(printf %o "0x$byte")" >>"$1"
    done
    chmod 755 "$1"
}

# Sets lvm_runs_i386 to yes, no or unknown (no program at all starts from
# the temporary folder, so the probe says nothing), and lvm_i386_why.
lvm_probe_i386() {
    dir=$(mktemp -d)
    lvm_write_i386_probe "$dir/probe-i386"
    cp /bin/true "$dir/probe-native"
    status=0
    "$dir/probe-i386" 2>/dev/null || status=$?
    native=0
    "$dir/probe-native" 2>/dev/null || native=$?
    rm -rf "$dir"
    if [ "$native" != 0 ]; then
        lvm_runs_i386=unknown
        lvm_i386_why="no program at all starts from $(dirname "$dir") (mounted noexec?)"
    elif [ "$status" = 42 ]; then
        lvm_runs_i386=yes
        lvm_i386_why="a static i386 program ran"
        if [ -n "$(grep -ls 'interpreter .*qemu-i386' /proc/sys/fs/binfmt_misc/* 2>/dev/null)" ]; then
            lvm_i386_why="$lvm_i386_why, through the qemu-i386 emulator registered with binfmt_misc"
        fi
    else
        lvm_runs_i386=no
        lvm_i386_why="a static i386 program did not start (exit $status): the kernel runs 64-bit user code only"
    fi
}

# Whether the i686 installer can run here under qemu-i386 all the same: in a
# namespace of its own (scripts/i386-namespace.sh, below $root), or through
# an emulator the machine has registered (lvm_i386_emulated, from
# cmake/wine-host.sh, sourced first). Sets lvm_i386_emulation (namespace or
# machine) or, when neither, lvm_i386_why.
lvm_i386_emulation_possible() {
    lvm_i386_emulation=""
    if [ ! -x /usr/lib/wine/wine ]; then
        lvm_i386_why="the i386 Wine (wine32:i386) is not installed"
        return 1
    fi
    ns_dir=$(mktemp -d)
    lvm_write_i386_probe "$ns_dir/probe"
    status=0
    "$root/scripts/i386-namespace.sh" "$ns_dir/probe" 2>/dev/null || status=$?
    rm -rf "$ns_dir"
    if [ "$status" = 42 ]; then
        lvm_i386_emulation=namespace
    elif lvm_i386_emulated; then
        lvm_i386_emulation=machine
    elif [ "$status" = 125 ]; then
        lvm_i386_why="qemu-i386 cannot be registered in a namespace of its own (needs qemu-user-static, user namespaces and a kernel of 6.7 or later)"
        return 1
    else
        lvm_i386_why="an i386 program did not start under qemu-i386 in a namespace of its own (exit $status)"
        return 1
    fi
}
