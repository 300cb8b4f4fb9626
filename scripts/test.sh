#!/bin/sh
# Builds everything and runs every test (unit and whole-executable) under Wine.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="${LVM_BUILD_DIR:-$root/build}"
export LVM_BUILD_DIR="$build"
"$root/scripts/build.sh"
. "$root/scripts/wine-session.sh"

status=0
ctest --test-dir "$build" --output-on-failure --timeout 600 "$@" >"$build/ctest.log" 2>&1 || status=$?
cat "$build/ctest.log"
echo
echo "== ctest summary =="
grep -E "tests passed|tests failed" "$build/ctest.log" || echo "ctest printed no summary"
exit $status
