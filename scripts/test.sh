#!/bin/sh
# Builds everything and runs every test (unit and whole-executable) under Wine.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="${LVM_BUILD_DIR:-$root/build}"
export LVM_BUILD_DIR="$build"
"$root/scripts/build.sh"
. "$root/scripts/wine-session.sh"

tests=$(lvm_runnable_build "$build")
if [ "$tests" != "$build" ]; then
    echo "test: this host runs no 32-bit user code: every test runs against the x86_64 build ($tests);"
    echo "test: the shipped i686 installer is checked as a file, and its smoke run at the end runs it under qemu-i386"
fi
# Tests that share the prefix's state hold CTest resource locks
# (tests/CMakeLists.txt), so the rest run side by side: one a core, at most 4.
jobs="${LVM_TEST_JOBS:-$(nproc)}"
if [ "$jobs" -gt 4 ]; then jobs=4; fi
status=0
ctest --test-dir "$tests" --output-on-failure --timeout 600 -j"$jobs" "$@" >"$build/ctest.log" 2>&1 || status=$?
cat "$build/ctest.log"

# The shipped i686 file itself: natively where this host runs 32-bit code,
# under qemu-i386 where it does not; it says in one line (exit 77) when it
# cannot run here. Only for a whole run: a run of chosen tests is a developer's.
smoke_status=0
if [ $# -eq 0 ]; then
    "$root/scripts/smoke-shipped.sh" "$build" || smoke_status=$?
    if [ "$smoke_status" = 77 ]; then smoke_status=0; fi
fi

echo
echo "== ctest summary =="
grep -E "tests passed|tests failed" "$build/ctest.log" || echo "ctest printed no summary"
if [ "$smoke_status" != 0 ]; then
    echo "test: the shipped i686 installer's smoke run FAILED"
    status=$smoke_status
fi
exit $status
