#!/bin/sh
# Configures and builds the installer, the stand-in application and the tests
# in build/ (set LVM_BUILD_TYPE=Release for a release build).
#
#   scripts/build.sh [--package packages/NAME.ini] [cmake options...]
#
# builds NAME-setup.exe from that package description (packages/lvm0.ini
# when none is given; README "Packages").
#
# On a host that cannot execute 32-bit user code (see cmake/wine-host.sh) Wine
# cannot run the i686 programs: build/ still holds the shipped i686 installer
# and compiles every test, but the tests run from build/x86_64/, the same
# sources built for x86_64.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build="${LVM_BUILD_DIR:-$root/build}"
description="$root/packages/lvm0.ini"
if [ "${1:-}" = --package ]; then
    [ $# -ge 2 ] || { echo "build: --package needs a package description (packages/NAME.ini)" >&2; exit 2; }
    description=$(realpath -- "$2")
    shift 2
fi
# Given every time: the cache would otherwise keep the last build's package.
set -- -DLVM_PACKAGE_DESCRIPTION="$description" "$@"
package=$(basename "$description" .ini)
lvm_cmake_dir="$root/cmake"
. "$root/cmake/wine-host.sh"

configure_and_build() {
    tree="$1"; shift
    cmake -S "$root" -B "$tree" -DCMAKE_BUILD_TYPE="${LVM_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
    cmake --build "$tree" --parallel "$(nproc)"
}

if [ "$LVM_HOST_RUNS_32BIT" = yes ]; then
    configure_and_build "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" "$@"
else
    echo "build: this host runs no 32-bit user code; the tests will run against the x86_64 build in $build/x86_64"
    # Test lists are read when the tests run (cmake/GTestSuites.cmake), never
    # at build time, so the i686 tests build although Wine cannot start them.
    configure_and_build "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" "$@"
    configure_and_build "$build/x86_64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
        -DLVM_SHIPPED_SETUP="$build/bin/$package-setup.exe" "$@"
fi
