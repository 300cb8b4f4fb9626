#!/bin/sh
# The one cmake configure step, shared by scripts/build.sh, the reproducibility
# check and the bench, so that a toolchain or build option is changed in one
# place. It configures the source tree it belongs to: the reproducibility
# check calls the copy in its clone, which then builds from the clone alone.
#
#   scripts/configure.sh BUILD_DIR ARCH [cmake options...]
#       ARCH: i686 (the shipped installer) or x86_64 (for hosts whose Wine
#       runs 64-bit programs only); build type LVM_BUILD_TYPE, by default
#       RelWithDebInfo. The options come last, so they can override either.
set -eu
source=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 2 ] || { echo "usage: scripts/configure.sh BUILD_DIR ARCH [cmake options...]" >&2; exit 2; }
tree=$1 arch=$2
shift 2
exec cmake -S "$source" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE="${LVM_BUILD_TYPE:-RelWithDebInfo}" "$@"
