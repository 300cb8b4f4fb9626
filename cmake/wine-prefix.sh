#!/bin/sh
# Creates (once) a Wine prefix fit for unattended tests: no runtime prompts,
# no crash dialog, no wait for a window manager under Xvfb.
set -eu
prefix="$1"
lvm_cmake_dir=$(cd "$(dirname "$0")" && pwd)
. "$lvm_cmake_dir/wine-host.sh"
mkdir -p "$(dirname "$prefix")"
[ -f "$prefix/.lvm-ready" ] && exit 0
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.lvm-ready" ] && exit 0
export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wineserver -w
touch "$prefix/.lvm-ready"
