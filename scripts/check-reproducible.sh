#!/bin/sh
# Checks that the installer is reproducible: builds the installer targets
# again from a clone in another folder, now, and compares the bytes with the
# ones scripts/build.sh made (build/bin/NAME-setup.exe, and the x86_64 twin
# where it was built). Any time or path that reaches the file makes them differ.
#
#   scripts/check-reproducible.sh [--package DESCRIPTION]
#       after scripts/build.sh [--package DESCRIPTION] (or scripts/test.sh),
#       with the same description (packages/lvm0.ini by default)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="${LVM_BUILD_DIR:-$root/build}"
. "$root/scripts/package-options.sh"
lvm_take_package_option "$@" || exit 1
eval "set -- $lvm_other_arguments"
[ $# -eq 0 ] || { echo "usage: scripts/check-reproducible.sh [--package DESCRIPTION]" >&2; exit 2; }
"$root/scripts/setup.sh" >/dev/null

other=$(mktemp -d "${TMPDIR:-/tmp}/lvm-reproduce.XXXXXX")
trap 'rm -rf "$other"' EXIT
if [ -z "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
    git clone -q "$root" "$other/clone"
else
    # Uncommitted changes: the tracked files as they are, at the time stamp
    # the first build took from the commit.
    echo "reproduce: the work tree has uncommitted changes: copying its tracked files instead of cloning"
    mkdir "$other/clone"
    (cd "$root" && git ls-files -z | xargs -0 tar -cf - 2>/dev/null) | tar -xf - -C "$other/clone"
    SOURCE_DATE_EPOCH=$(cat "$build/source-date-epoch")
    export SOURCE_DATE_EPOCH
fi

status=0
compare() {  # ARCH FIRST_BUILD_TREE
    arch="$1"; first="$2/bin/$package-setup.exe"
    [ -f "$first" ] || { echo "reproduce: $first is not built: run scripts/build.sh --package $description first" >&2; exit 1; }
    second_tree="$other/build-$arch"
    echo "reproduce: building the $arch installer again in $second_tree ..."
    "$other/clone/scripts/configure.sh" "$second_tree" "$arch" -DLVM_BUILD_TESTS=OFF \
        -DLVM_PACKAGE_DESCRIPTION="$(lvm_description_in_clone "$other/clone" "$description")" >/dev/null
    cmake --build "$second_tree" --target "$package-setup" --parallel "$(nproc)" >"$other/build-$arch.log" 2>&1 ||
        { tail -30 "$other/build-$arch.log"; echo "reproduce: the second $arch build failed" >&2; exit 1; }
    a=$(sha256sum <"$first" | cut -d' ' -f1)
    b=$(sha256sum <"$second_tree/bin/$package-setup.exe" | cut -d' ' -f1)
    if [ "$a" = "$b" ]; then
        echo "reproduce: $arch $package-setup.exe is the same in both builds: SHA-256 $a"
    else
        echo "reproduce: FAIL: $arch $package-setup.exe differs: $a ($first) against $b (built in $second_tree)"
        cmp -l "$first" "$second_tree/bin/$package-setup.exe" | head -5
        status=1
    fi
}

compare i686 "$build"
if [ -f "$build/x86_64/bin/$package-setup.exe" ]; then
    compare x86_64 "$build/x86_64"
fi
exit $status
