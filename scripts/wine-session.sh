# Sourced by the scripts that run Windows programs: a display (Xvfb when there
# is none), the build's own Wine prefix and a wineserver kept warm until exit.
# Expects $root and $build.

export LVM_BUILD_DIR="$build"
export WINEPREFIX="${LVM_WINEPREFIX:-$build/wineprefix}"
export WINEARCH=win64
export WINEDEBUG=-all
lvm_cmake_dir="$root/cmake"
. "$root/cmake/wine-host.sh"

lvm_xvfb_pid=""
lvm_session_end() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$lvm_xvfb_pid" ]; then kill "$lvm_xvfb_pid" 2>/dev/null || true; fi
}
trap lvm_session_end EXIT INT TERM

if [ -z "${DISPLAY:-}" ] || [ -n "${LVM_FORCE_XVFB:-}" ]; then
    # The first free display number from 90 up.
    n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    lvm_xvfb_pid=$!
    export DISPLAY=":$n"
    i=0
    while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
fi

"$root/cmake/wine-prefix.sh" "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 || true
# Start Wine's own services now, detached from our output: a service started
# by the first test would inherit CTest's pipes and keep the test "running".
wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
