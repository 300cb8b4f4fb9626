#!/bin/sh
# Builds the fuzz targets of tests/fuzz natively (clang, libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) and runs each one over its
# seed corpus and its regression inputs.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   fuzz each target SECONDS (default 60)
#   scripts/fuzz.sh --smoke [TARGET...]     replay the kept inputs, then 3 s each
#   scripts/fuzz.sh --replay [TARGET...]    only run every kept input once: the
#                                           regressions, then the seeds (no fuzzing)
#   --no-build                              run what the build left (CTest's replay)
#
# Targets default to every tests/fuzz/fuzz_*.cpp. The build goes to
# $LVM_BUILD_DIR/fuzz (build/fuzz by default). Inputs a run finds go to a
# scratch corpus in the build; a crash found by a full run is copied to
# tests/fuzz/regressions/TARGET/, where every later run replays it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="${LVM_BUILD_DIR:-$root/build}/fuzz"
fuzz_src="$root/tests/fuzz"

seconds=60
smoke=""
replay=""
no_build=""
while [ $# -gt 0 ]; do
    case "$1" in
        --smoke) smoke=1; seconds=3 ;;
        --replay) replay=1 ;;
        --no-build) no_build=1 ;;
        -*) echo "fuzz: unknown option $1" >&2; exit 2 ;;
        *) break ;;
    esac
    shift
done
case "${1:-}" in
    ''|*[!0-9]*) ;;
    *) seconds=$1; shift ;;
esac

if [ $# -gt 0 ]; then
    targets="$*"
else
    targets=$(cd "$fuzz_src" && ls fuzz_*.cpp | sed 's/\.cpp$//')
fi

# clang and the libFuzzer runtime (Debian puts libclang_rt.fuzzer in the
# versioned runtime package, not in clang itself).
install_tools() {
    need="clang libclang-rt-14-dev"
    missing=""
    for p in $need; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
            missing="$missing $p"
        fi
    done
    [ -z "$missing" ] && return 0
    echo "fuzz: installing:$missing"
    if [ "$(id -u)" != 0 ]; then
        echo "fuzz: must run as root to install packages" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends $missing
}

if [ -z "$no_build" ]; then
    install_tools
    # The same compiler path as the suite's build of this folder, or the two
    # would keep throwing away each other's cache.
    cmake -S "$fuzz_src" -B "$build" -DCMAKE_CXX_COMPILER="$(command -v clang++)" >/dev/null
    cmake --build "$build" --parallel "$(nproc)" >/dev/null
fi

# Every file in a folder, or nothing when the folder is missing or empty.
files_in() {
    [ -d "$1" ] && find "$1" -maxdepth 1 -type f | sort
    return 0
}

failed=""
for target in $targets; do
    binary="$build/$target"
    if [ ! -x "$binary" ]; then
        echo "fuzz: $target is not built ($binary)" >&2
        failed="$failed $target"
        continue
    fi
    seeds="$fuzz_src/corpus/$target"
    regressions="$fuzz_src/regressions/$target"
    work="$build/run/$target"
    if [ -n "$smoke" ]; then corpus="$work/smoke-corpus"; rm -rf "$corpus"; else corpus="$work/corpus"; fi
    artifacts="$work/artifacts"
    rm -rf "$artifacts"
    mkdir -p "$corpus" "$artifacts"
    log="$work/log"

    # What once crashed is run first, each input on its own, so that a
    # regression is reported as one and not as a new finding.
    kept=$(files_in "$regressions")
    if [ -n "$kept" ]; then
        # Unquoted on purpose: libFuzzer names its inputs with hex digits only.
        if ! "$binary" $kept >"$log" 2>&1; then
            tail -n 30 "$log"
            echo "fuzz: $target fails on a kept regression input (log: $log)" >&2
            failed="$failed $target"
            continue
        fi
    fi

    if [ -n "$replay" ]; then
        # Each seed once, in one process: files given by name are only run,
        # never fuzzed or added to. find fails when the target failed.
        if [ -d "$seeds" ] && ! find "$seeds" -maxdepth 1 -type f -exec "$binary" -timeout=10 -artifact_prefix="$artifacts/" {} + >"$log" 2>&1; then
            tail -n 30 "$log"
            echo "fuzz: $target fails on a seed input (log: $log)" >&2
            failed="$failed $target"
            continue
        fi
        echo "fuzz: $target replayed $(files_in "$regressions" | wc -l) regression and $(files_in "$seeds" | wc -l) seed inputs"
        continue
    fi

    dirs="$corpus"
    [ -d "$seeds" ] && dirs="$dirs $seeds"
    [ -d "$regressions" ] && dirs="$dirs $regressions"
    status=0
    # A rule that loops on some input is a fault too: -timeout makes it a
    # finding. The first folder receives what the run adds; the others are
    # only read.
    "$binary" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" $dirs >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "$log" | tail -n 1)
    if [ $status -eq 0 ]; then
        echo "fuzz: $target clean: ${runs:-no run count}, corpus $(files_in "$corpus" | wc -l) + $(files_in "$seeds" | wc -l) seeds"
        continue
    fi
    failed="$failed $target"
    grep -E "ERROR: |runtime error|invariant broken|SUMMARY" "$log" | head -n 5 || true
    found=$(files_in "$artifacts")
    if [ -z "$smoke" ] && [ -n "$found" ]; then
        mkdir -p "$regressions"
        for f in $found; do mv "$f" "$regressions/"; done
        echo "fuzz: $target FAILED: input kept in $regressions (log: $log)" >&2
    else
        echo "fuzz: $target FAILED: ${found:-no input saved} (log: $log)" >&2
    fi
done

if [ -n "$failed" ]; then
    echo "fuzz: failed:$failed" >&2
    exit 1
fi
