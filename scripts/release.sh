#!/bin/sh
# Releases add-ons: the shipped i686 installer of each description, built from
# the current commit, which must be clean.
#
#   scripts/release.sh [--out DIR] [DESCRIPTION...]
#
# DESCRIPTION: packages/*.ini when none is given. DIR (release/COMMIT by
# default) must not exist yet; it receives, per add-on, NAME-VERSION-setup.exe
# and NAME-VERSION-detect.ps1 (the detection script for that package, file
# and version), and SHA256SUMS over them, as `sha256sum -c` reads it.
#
# Every installer is built twice, from two clones of the commit in different
# folders, and the two must be the same bytes. Descriptions inside the tree
# are taken from the commit itself. A refused description, a failed build or
# two builds that differ stop the whole release with one line, and no
# release folder is left behind.
#
# Signing is a step of its own over the release folder, so that keys never
# reach the build: sign each installer (scripts/sign.sh), then write the
# digests again (docs/releasing.md "Releasing: build, sign, verify").
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
say() { echo "release: $*"; }
refuse() { echo "release: $*" >&2; exit 1; }

out=""
descriptions=""
while [ $# -gt 0 ]; do
    case "$1" in
        --out) [ $# -ge 2 ] || refuse "--out needs a folder"; out=$2; shift 2 ;;
        --out=*) out=${1#--out=}; shift ;;
        -*) echo "usage: scripts/release.sh [--out DIR] [DESCRIPTION...]" >&2; exit 2 ;;
        *) [ -f "$1" ] || refuse "$1: no such package description"
           descriptions="$descriptions $(realpath -- "$1")"; shift ;;
    esac
done
if [ -z "$descriptions" ]; then
    for d in "$root"/packages/*.ini; do descriptions="$descriptions $d"; done
fi

"$root/scripts/setup.sh" >/dev/null
[ -z "$(git -C "$root" status --porcelain)" ] ||
    refuse "the work tree has changes that are not committed: a release is built from a clean commit"
commit=$(git -C "$root" rev-parse --short=12 HEAD)
out=$(realpath -m -- "${out:-$root/release/$commit}")
[ ! -e "$out" ] || refuse "$out exists already: remove it or name another --out"

work=$(mktemp -d "${TMPDIR:-/tmp}/lvm-release.XXXXXX")
trap 'rm -rf "$work"' EXIT
. "$root/scripts/package-options.sh"
# Descriptions in the tree are taken from the commit itself, in each clone.

# Every description is read before anything is built: one refused stops the
# release at once.
for d in $descriptions; do
    python3 "$root/tools/check_package.py" describe "$d" >/dev/null || exit 1
done

git clone -q "$root" "$work/a"
git clone -q "$root" "$work/b"
mkdir "$work/release"
# Builds DESCRIPTION's installer in CLONE's own build tree (one tree a clone:
# the core is compiled once for all the add-ons).
build_installer() {  # CLONE DESCRIPTION NAME
    tree="$1-build"
    log="$1-build.log"
    if LVM_BUILD_TYPE=Release "$1/scripts/configure.sh" "$tree" i686 -DLVM_BUILD_TESTS=OFF \
            -DLVM_PACKAGE_DESCRIPTION="$2" >"$log" 2>&1 &&
        cmake --build "$tree" --target "$3-setup" --parallel "$(nproc)" >>"$log" 2>&1; then
        return 0
    fi
    # The tool's one line names the clone's copy: name the caller's.
    refusal=$(grep -F "$2: " "$log" | head -n 1)
    if [ -n "$refusal" ]; then
        echo "$d${refusal#"$2"}" >&2
    else
        tail -n 30 "$log" >&2
        echo "release: $d: the build failed" >&2
    fi
    exit 1
}

for d in $descriptions; do
    eval "$(python3 "$root/tools/check_package.py" facts "$d")"
    # A version is a number, or an exe's FileVersion text: kept to what a file name can hold.
    stem="$package_name-$(printf '%s' "$package_version" | tr -c 'A-Za-z0-9._-' '_')"
    [ ! -e "$work/release/$stem-setup.exe" ] || refuse "$d: a second description of $package_name version $package_version"
    say "building $stem-setup.exe twice ..."
    build_installer "$work/a" "$(lvm_description_in_clone "$work/a" "$d")" "$package_name"
    build_installer "$work/b" "$(lvm_description_in_clone "$work/b" "$d")" "$package_name"
    first="$work/a-build/bin/$package_name-setup.exe"
    cmp -s "$first" "$work/b-build/bin/$package_name-setup.exe" ||
        refuse "$d: the two builds of $package_name-setup.exe differ: the installer is not reproducible"
    cp "$first" "$work/release/$stem-setup.exe"
    python3 "$root/tools/check_package.py" detection "$(lvm_description_in_clone "$work/a" "$d")" >"$work/release/$stem-detect.ps1"
done

(cd "$work/release" && sha256sum -- *-setup.exe *-detect.ps1 >SHA256SUMS)
mkdir -p "$(dirname "$out")"
mv "$work/release" "$out"
say "released commit $commit into $out:"
sed 's/^/  /' "$out/SHA256SUMS"
