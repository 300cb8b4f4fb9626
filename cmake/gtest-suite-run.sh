#!/bin/sh
# Runs one GoogleTest suite for CTest (see GTestSuites.cmake); "$@" is the
# command. The output passes through as it comes. When the program ends well
# but every case it ran was skipped, the status is 77 (the suite's
# SKIP_RETURN_CODE): CTest then reports the suite as skipped, not as passed.
# A suite with a case that passed or failed is reported by its own status.
set -u
log=$(mktemp)
status_file=$(mktemp)
trap 'rm -f "$log" "$status_file"' EXIT
{ "$@" 2>&1; echo $? >"$status_file"; } | tee "$log"
status=$(cat "$status_file")
if [ "$status" = 0 ] && grep -q '^\[  PASSED  \] 0 tests\.' "$log" && grep -q '^\[  SKIPPED \]' "$log"; then
    exit 77
fi
exit "$status"
