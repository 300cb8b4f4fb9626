#!/bin/sh
# The main job, shown end to end: builds the installer if needed, makes a
# throw-away Wine prefix holding a demo installation of the application (its
# uninstall entry and the stand-in as Lingvaro.exe), runs the installer and
# prints what happened.
#
#   scripts/demo.sh          install in modest mode (no questions)
#   scripts/demo.sh --ask    ask the questions; answer them on the display
#                            (needs a display: DISPLAY must be set)
#   --package DESCRIPTION    the add-on to build and install (packages/lvm0.ini)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="${LVM_BUILD_DIR:-$root/build}"
. "$root/scripts/package-options.sh"
lvm_take_package_option "$@" || exit 1
eval "set -- $lvm_other_arguments"
ask=false
case "${1:-}" in
    --ask) ask=true ;;
    "") ;;
    *) echo "usage: scripts/demo.sh [--ask] [--package DESCRIPTION]" >&2; exit 2 ;;
esac
if $ask && [ -z "${DISPLAY:-}" ]; then
    echo "demo: --ask needs a display to answer the questions on (set DISPLAY)" >&2
    exit 2
fi

export LVM_BUILD_DIR="$build"
mkdir -p "$build"
echo "demo: building (log in $build/demo-build.log) ..."
if ! "$root/scripts/build.sh" --package "$description" >"$build/demo-build.log" 2>&1; then
    tail -40 "$build/demo-build.log"
    echo "demo: the build failed" >&2
    exit 1
fi

# A fresh prefix of its own, so the demo never touches the tests' prefix or ~/.wine.
demo_prefix="$build/demo-prefix"
rm -rf "$demo_prefix" "$demo_prefix.lock"
echo "demo: creating a Wine prefix in $demo_prefix ..."
export LVM_WINEPREFIX="$demo_prefix"
. "$root/scripts/wine-session.sh"
# On a host without 32-bit user code Wine runs the x86_64 build of the same sources.
bin="$(lvm_runnable_build "$build")/bin"

. "$root/scripts/demo-installation.sh"
lvm_make_demo_installation "$bin"

cp "$bin/$package-setup.exe" "$WINEPREFIX/drive_c/$package-setup.exe"
echo "demo: running $package-setup.exe $(if $ask; then echo '(answer the questions on the display)'; else echo modest; fi)"
if $ask; then
    wine "$bin/lvm-run.exe" --manual "C:\\$package-setup.exe" | tr -d '\r'
else
    wine "$bin/lvm-run.exe" "C:\\$package-setup.exe" modest | tr -d '\r'
fi

echo
echo "demo: what the installation folder holds now:"
ls -l "$app_dir" | sed 's/^/  /'
installed="$app_dir/$package_file"
if cmp -s "$installed" "$build/package/$package/$package_file"; then
    echo "demo: $package_file: $(stat -c %s "$installed") bytes, the $package_kind package of version $package_version byte for byte"
elif [ -f "$installed" ]; then
    echo "demo: $package_file is there, but it is not the package the installer carries"
else
    echo "demo: $package_file was not installed"
fi
echo "demo: the uninstall entry:"
wine reg query "$key" /reg:32 2>/dev/null | tr -d '\r' | sed -n 's/^ \{4\}/  /p'
size_hex=$(wine reg query "$key" /v EstimatedSize /reg:32 2>/dev/null | tr -d '\r' | awk '/EstimatedSize/ {print $3}')
if [ -n "$size_hex" ]; then
    echo "demo: EstimatedSize = $((size_hex)) KiB (its files hold $(find "$app_dir" -type f -printf '%s\n' | awk '{s += $1} END {print s}') bytes)"
fi
