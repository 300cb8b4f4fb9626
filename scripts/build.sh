#!/bin/sh
# Configures and builds the installer, the stand-in application and the tests
# in build/ (set LVM_BUILD_TYPE=Release for a release build).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build="${LVM_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE="${LVM_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
