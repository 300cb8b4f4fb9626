#!/bin/sh
# The shipped i686 build rejects a function pointer fetched at run time whose
# calling convention differs from the SDK's declaration. Compiles
# tests/compile/calling_convention.cpp three times with the project's flags:
# as written (must compile), with WINAPI dropped from the pointer type and
# with a hand cast of GetProcAddress's result (each must be rejected, for
# that reason and no other).
#   check_calling_convention.sh I686_CXX SOURCE_DIR
set -u
cxx="$1"; src="$2"
flags="-std=c++17 -fsyntax-only -Wall -Wextra -Wcast-function-type -Werror
-DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601 -DWINVER=0x0601
-I$src/src"
file="$src/tests/compile/calling_convention.cpp"
out=$(mktemp); trap 'rm -f "$out"' EXIT
failed=0

# shellcheck disable=SC2086 # flags are words
if ! "$cxx" $flags "$file" >"$out" 2>&1; then
    echo "FAIL: the SDK-typed fetch does not compile:"; cat "$out"; failed=1
fi
for plant in LVM_PLANT_MISSING_WINAPI:'invalid conversion' LVM_PLANT_CAST:'cast-function-type'; do
    macro=${plant%%:*}; reason=${plant#*:}
    # shellcheck disable=SC2086
    if "$cxx" $flags -D"$macro" "$file" >"$out" 2>&1; then
        echo "FAIL: $macro compiles for i686"; failed=1
    elif ! grep -q -- "$reason" "$out"; then
        echo "FAIL: $macro rejected, but not for '$reason':"; cat "$out"; failed=1
    else
        echo "ok: $macro rejected ($reason)"
    fi
done
exit $failed
