#!/bin/sh
# Runs a Windows program under Wine in the build tree's own prefix, never in
# ~/.wine. The prefix is created on first use; creation is serialised with a
# lock so that parallel test runs do not race on it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
: "${LVM_BUILD_DIR:=$(cd "$here/.." && pwd)/build}"
export WINEPREFIX="${WINEPREFIX_OVERRIDE:-$LVM_BUILD_DIR/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
lvm_cmake_dir="$here"
. "$here/wine-host.sh"
"$here/wine-prefix.sh" "$WINEPREFIX"
# The Windows user locale and ANSI code page come from the Unix locale Wine
# starts with; tests pick one by name.
case "${LVM_WINE_LOCALE:-}" in
    en) export LC_ALL=en_US.UTF-8 ;;
    ru1251) export LC_ALL=ru_RU.UTF-8 ;;
    ru1252) unset LC_ALL; export LANG=en_US.UTF-8 LC_CTYPE=en_US.UTF-8 LC_MESSAGES=ru_RU.UTF-8 ;;
esac
exec wine "$@"
