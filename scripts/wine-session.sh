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
    exec 7>&-  # the desktop keeper's input (below): it ends
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

# Wine's desktop shell (explorer.exe /desktop) ends a second after the last
# process of the desktop has gone, and the next process that needs the desktop
# starts it again and hands it its own Unix standard error. Started by a test,
# the shell holds that test's output pipe open while any other test runs (CTest
# then waits for the finished test until its timeout), and the test's process
# that started it goes "idle" waiting for it before it has shown anything. A
# keeper holds the desktop, and so the shell, from here to the end of the
# session; it ends when this shell closes its input (fd 7), however it ends.
# Not where each Wine process takes minutes (an i386 emulator): no test runs there.
lvm_desktop_keeper="$(lvm_runnable_build "$build")/bin/lvm-test-helper.exe"
if [ -f "$lvm_desktop_keeper" ] && ! { [ "$LVM_HOST_RUNS_32BIT" = yes ] && lvm_i386_emulated; }; then
    lvm_desktop_fifo=$(mktemp -u "${TMPDIR:-/tmp}/lvm-desktop.XXXXXX")
    lvm_desktop_up=$(mktemp "${TMPDIR:-/tmp}/lvm-desktop-up.XXXXXX")
    mkfifo "$lvm_desktop_fifo"
    wine "$lvm_desktop_keeper" desktop <"$lvm_desktop_fifo" >"$lvm_desktop_up" 2>/dev/null &
    lvm_desktop_pid=$!
    exec 7>"$lvm_desktop_fifo"
    rm -f "$lvm_desktop_fifo"
    # Up once it has the desktop window (the shell is then running), or gone.
    while ! grep -q up "$lvm_desktop_up" && kill -0 "$lvm_desktop_pid" 2>/dev/null; do sleep 0.1; done
    rm -f "$lvm_desktop_up"
fi
