#!/bin/sh
# Configures and builds the installer, the stand-in application and the tests
# in build/ (set LVM_BUILD_TYPE=Release for a release build).
#
#   scripts/build.sh [--package DESCRIPTION] [cmake options...]   (in any order)
#
# builds NAME-setup.exe from that package description (packages/lvm0.ini
# when none is given; docs/releasing.md "Packages"). A build that fails, such as one
# whose description is refused, removes that add-on's earlier installer, so
# no stale one stands where the new one was expected; a refused description
# is told in its one line.
#
# On a host that cannot execute 32-bit user code (see cmake/wine-host.sh) Wine
# cannot run the i686 programs: build/ still holds the shipped i686 installer
# and compiles every test, but the tests run from build/x86_64/, the same
# sources built for x86_64.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build="${LVM_BUILD_DIR:-$root/build}"
. "$root/scripts/package-options.sh"
forget_installer() { rm -f "$build/bin/$package-setup.exe" "$build/x86_64/bin/$package-setup.exe"; }
lvm_take_package_option "$@" || { forget_installer; exit 1; }
eval "set -- $lvm_other_arguments"
# Given every time: the cache would otherwise keep the last build's package.
set -- -DLVM_PACKAGE_DESCRIPTION="$description" "$@"
lvm_cmake_dir="$root/cmake"
. "$root/cmake/wine-host.sh"

# The build's own output goes to TREE/build.log; on success only the
# installers' digests are shown (sha256sum's), on failure the description's one line when
# it was refused, else the end of what CMake said.
configure_and_build() {  # build directory, arch, cmake options...
    tree="$1"; arch="$2"; shift 2
    mkdir -p "$tree"
    log="$tree/build.log"
    if "$root/scripts/configure.sh" "$tree" "$arch" "$@" >"$log" 2>&1 &&
        cmake --build "$tree" --parallel "$(nproc)" >>"$log" 2>&1; then
        for setup in "$tree"/bin/*-setup.exe; do
            [ -f "$setup" ] && echo "SHA-256 of the $arch $(basename "$setup"): $(sha256sum <"$setup" | cut -d' ' -f1)"
        done
        return 0
    fi
    forget_installer
    refusal=$(grep -F "$description: " "$log" | head -n 1)
    if [ -n "$refusal" ]; then echo "$refusal" >&2; else tail -n 40 "$log" >&2; fi
    exit 1
}

configure_and_build "$build" i686 "$@"
if [ "$LVM_HOST_RUNS_32BIT" = no ]; then
    echo "build: this host runs no 32-bit user code; the tests will run against the x86_64 build in $build/x86_64"
    # Test lists are read when the tests run (cmake/GTestSuites.cmake), never
    # at build time, so the i686 tests build although Wine cannot start them.
    configure_and_build "$build/x86_64" x86_64 -DLVM_SHIPPED_SETUP="$build/bin/$package-setup.exe" "$@"
fi
