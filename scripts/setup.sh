#!/bin/sh
# Installs what the build and the tests need on a Debian machine, as root.
# Idempotent: packages already present are left alone, apt runs only when
# something is missing.
#
# Where 32-bit programs run, the i386 Wine (wine32) runs the shipped i686
# installer and every test. Many hosts now run 64-bit user code only: there
# the tests run the x86_64 build, and the i386 Wine with qemu-user-static
# runs the shipped file's smoke run under emulation, in a namespace of its own
# (scripts/i386-namespace.sh; Debian registers no qemu-i386 for the machine on
# an amd64 host). Where the i386 packages cannot be installed beside their
# amd64 twins, the set-up goes on without them. Wine is not needed to decide:
# a tiny static i386 program written here is started.
#
#   LVM_SETUP_DECIDE_ONLY=1 scripts/setup.sh   prints the decision, installs nothing
set -eu

NEED_PKGS="cmake make mingw-w64 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix \
binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
binutils-mingw-w64-x86-64 mingw-w64-tools googletest wine wine64 \
xvfb xauth x11-apps imagemagick locales osslsigncode openssl softhsm2 libengine-pkcs11-openssl \
python3 time \
clang libclang-rt-14-dev git"
NEED_I386_PKGS="wine32:i386"

say() { echo "setup: $*"; }

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/i386-probe.sh"

lvm_missing() {
    missing=""
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
            missing="$missing $p"
        fi
    done
    echo "$missing"
}

# A package source whose index is out of step ("Mirror sync in progress?")
# may be one this set-up does not need: try again once, then let
# apt-get install decide whether what it needs can be had.
lvm_apt_update() {
    if apt-get update -qq; then return 0; fi
    say "apt-get update failed; trying once more in 10 s"
    sleep 10
    if apt-get update -qq; then return 0; fi
    say "apt-get update failed again; going on with the package lists apt has (apt-get install decides)"
}

lvm_probe_i386
if [ -n "${LVM_SETUP_DECIDE_ONLY:-}" ]; then
    echo "$lvm_runs_i386: $lvm_i386_why"
    exit 0
fi

i386_pkgs=""
case "$lvm_runs_i386" in
    yes) i386_pkgs="$NEED_I386_PKGS"
         say "32-bit programs run here ($lvm_i386_why): installing the i386 Wine ($NEED_I386_PKGS) to run the shipped i686 installer" ;;
    no) i386_pkgs="$NEED_I386_PKGS"
        NEED_PKGS="$NEED_PKGS qemu-user-static gdb-multiarch"
        say "$lvm_i386_why: the tests will run the x86_64 build; installing qemu-user-static, gdb-multiarch (to read what the emulator dumps) and the i386 Wine ($NEED_I386_PKGS) to run the shipped i686 installer under emulation" ;;
    *) say "no i386 packages: cannot tell whether 32-bit programs run here ($lvm_i386_why), so the tests will run the x86_64 build" ;;
esac

missing=$(lvm_missing $NEED_PKGS)
missing_i386=""
if [ -n "$i386_pkgs" ]; then missing_i386=$(lvm_missing $i386_pkgs); fi

if [ -n "$missing$missing_i386" ]; then
    if [ "$(id -u)" != 0 ]; then
        say "must run as root to install:$missing$missing_i386" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    added_i386=false
    if [ -n "$missing_i386" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        say "adding the i386 architecture to dpkg, for:$missing_i386"
        dpkg --add-architecture i386
        added_i386=true
    fi
    lvm_apt_update
    if [ -n "$missing_i386" ]; then
        say "installing:$missing$missing_i386"
        if ! apt-get install -y -qq --no-install-recommends $missing $missing_i386; then
            say "the i386 packages (${missing_i386# }) cannot be installed here beside their amd64 twins: going on without them, with the x86_64 build only"
            missing_i386=""
            # Its indexes would only slow down and endanger every later update.
            if $added_i386; then dpkg --remove-architecture i386 2>/dev/null || true; fi
        fi
    fi
    if [ -z "$missing_i386" ]; then
        missing=$(lvm_missing $NEED_PKGS)
        if [ -n "$missing" ]; then
            say "installing:$missing"
            apt-get install -y -qq --no-install-recommends $missing
        fi
    fi
else
    say "every package needed is installed"
fi

# A Russian locale for the tests that run the installer under a Russian user.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
    if [ -f /etc/locale.gen ] && [ "$(id -u)" = 0 ]; then
        say "generating the ru_RU.UTF-8 and en_US.UTF-8 locales, for the tests that run under a Russian user"
        sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/; s/^# *\(en_US.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >> /etc/locale.gen
        grep -q '^en_US.UTF-8 UTF-8' /etc/locale.gen || echo 'en_US.UTF-8 UTF-8' >> /etc/locale.gen
        locale-gen >/dev/null
    fi
fi
