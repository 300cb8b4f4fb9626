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
"$here/wine-prefix.sh" "$WINEPREFIX"
exec wine "$@"
