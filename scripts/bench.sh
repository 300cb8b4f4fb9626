#!/bin/sh
# Speed and memory of the installer under Wine, each figure printed against a
# baseline measured in the same run, with the ratio of the two:
# at three package sizes (the package the build embeds, and generated ones ten
# and fifty times as large, each in an installer built for it):
#   1. the modest-mode install end to end, told Windows 7 and told Windows 10,
#      in rounds interleaved with the two programs people would use instead:
#      a floor program (read the package once, hash it once with CNG SHA-256,
#      write it once and flush it) and an NSIS installer of the same package
#      (stored payload, CRC-32 self-check, the same uninstall entry, /S);
#   2. the self-check alone, against plain reads of the same file;
#   3. FolderSizeKB over 100,000 files in 10,000 folders, against a walk of the
#      same tree with the host's find, and the memory the walk holds;
#   4. the installer's peak memory during a modest install, against the
#      package size, a do-nothing process and the floor program;
# then a table of the three sizes: the ratios, and whether time and private
# memory grow with the package. 3 is measured once, on the package the build
# embeds (it does not depend on the package).
# Builds in release mode in build directories of its own, next to the usual
# one: -release for the package the build embeds, -release-xN for the
# package N times as large (only the installer and the do-nothing program,
# which carry the package; the other programs come from -release).
#
#   scripts/bench.sh [--package DESCRIPTION]   (packages/lvm0.ini by default;
#                        larger sizes are generated for pak packages only)
#                        LVM_BENCH_REPEATS=N: repetitions per figure (default 11)
#                        LVM_BENCH_LARGE_REPEATS=N: the same for the larger
#                        packages (default 5 at ten times, 3 at fifty times)
#                        LVM_BENCH_SIZES="1 10 50": the sizes, as multiples
#                        LVM_BENCH_CPU=N: the core to measure on (default the last;
#                        "none": no pinning)
#
# The measurements run on one core: every Wine process talks to the wineserver
# for each file-system call, and in a virtual machine a round trip to a server
# waiting on another, idle core costs far more than one on the same core (the
# walk over the large tree took five times as long that way). Pinned, the
# figures no longer depend on whether the other core happens to be busy.
# The machine is shared: the script prints the load average before and after,
# and figures taken while others build are slower and noisier.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="${LVM_BUILD_DIR:-$root/build}-release"
. "$root/scripts/package-options.sh"
lvm_take_package_option "$@" || exit 1
eval "set -- $lvm_other_arguments"
[ $# -eq 0 ] || { echo "usage: scripts/bench.sh [--package DESCRIPTION]" >&2; exit 2; }
repeats="${LVM_BENCH_REPEATS:-11}"
sizes="${LVM_BENCH_SIZES:-1 10 50}"
if [ "$package_kind" != pak ] && [ "$sizes" != 1 ]; then
    echo "bench: $package is a $package_kind package: tools/make_package.py makes larger packages of kind pak only, so only x1 is measured"
    sizes=1
fi
# The generated package's header stays as it is; its entries grow N times.
bytes_of_size() { echo $(( 876 + (11810129 - 880) * $1 + 4 )); }
repeats_of_size() {
    if [ "$1" = 1 ]; then echo "$repeats"
    elif [ -n "${LVM_BENCH_LARGE_REPEATS:-}" ]; then echo "$LVM_BENCH_LARGE_REPEATS"
    elif [ "$1" -le 10 ]; then echo 5
    else echo 3
    fi
}

# ---------------------------------------------------------------- build
# Only the programs the bench runs: the tests of the release build would cost
# minutes of a shared two-core machine and are never run from here.
"$root/scripts/setup.sh"
# The shipped i686 build where the host runs 32-bit user code; elsewhere the
# x86_64 build of the same sources, the only one Wine can run there.
lvm_cmake_dir="$root/cmake"
. "$root/cmake/wine-host.sh"
arch=i686
[ "$LVM_HOST_RUNS_32BIT" = yes ] || arch=x86_64
configure() {  # build directory, cmake options...
    tree="$1"; shift
    cmake -S "$root" -B "$tree" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
}
configure "$build"
cmake --build "$build" --parallel "$(nproc)" \
    --target "$package-setup" Lingvaro lvm-run lvm-bench lvm-nothing lvm-floor >/dev/null
bin="$build/bin"

command -v makensis >/dev/null || apt-get install -y -q nsis >/dev/null
nsis_target=x86-unicode
[ "$arch" = i686 ] || nsis_target=amd64-unicode

# Each size: its build directory, with its package, its installer, its
# do-nothing program and its NSIS peer (the same package in an NSIS
# installer, for the same architecture).
size_build() { if [ "$1" = 1 ]; then echo "$build"; else echo "$build-x$1"; fi; }
for n in $sizes; do
    tree=$(size_build "$n")
    if [ "$n" != 1 ]; then
        # Generated into the build directory and replaced only when its bytes
        # change, so that a second run does not embed it again.
        mkdir -p "$tree/generated"
        python3 "$root/tools/make_package.py" --times "$n" "$package" pak "$package_version" "$tree/generated/$package_file.new"
        if cmp -s "$tree/generated/$package_file.new" "$tree/generated/$package_file"; then
            rm "$tree/generated/$package_file.new"
        else
            mv "$tree/generated/$package_file.new" "$tree/generated/$package_file"
        fi
        # The default description with the large package as its file.
        { grep -v '^ *file *=' "$description"; echo "file = $package_file"; } >"$tree/generated/$package.ini.new"
        if cmp -s "$tree/generated/$package.ini.new" "$tree/generated/$package.ini"; then
            rm "$tree/generated/$package.ini.new"
        else
            mv "$tree/generated/$package.ini.new" "$tree/generated/$package.ini"
        fi
        configure "$tree" -DLVM_PACKAGE_DESCRIPTION="$tree/generated/$package.ini"
        cmake --build "$tree" --parallel "$(nproc)" --target "$package-setup" lvm-nothing >/dev/null
    fi
    package_path="$tree/package/$package/$package_file"
    if [ "$package_kind" = pak ] && [ "$(stat -c %s "$package_path")" != "$(bytes_of_size "$n")" ]; then
        echo "bench: $package_path is not the $(bytes_of_size "$n")-byte package" >&2
        exit 1
    fi
    if [ ! "$tree/bin/$package-nsis.exe" -nt "$package_path" ] || [ ! "$tree/bin/$package-nsis.exe" -nt "$root/tests/bench/nsis/lvm0.nsi" ]; then
        makensis -V2 -DTARGET="$nsis_target" -DPACKAGE="$package_path" -DOUTFILE="$tree/bin/$package-nsis.exe" \
            "$root/tests/bench/nsis/lvm0.nsi" >/dev/null
    fi
done

cores=$(nproc)
cpu="${LVM_BENCH_CPU:-$((cores - 1))}"
if [ "$cpu" != none ]; then
    # Inherited by everything started from here on: the wineserver, every Wine
    # process and the host's baselines.
    taskset -p -c "$cpu" $$ >/dev/null
fi

. "$root/scripts/wine-session.sh"

# ---------------------------------------------------------------- helpers
now_ns() { date +%s%N; }
ms_since() { awk -v a="$1" -v b="$(now_ns)" 'BEGIN { printf "%.1f\n", (b - a) / 1e6 }'; }
# Timings of the repetitions (one per line) -> "median fastest slowest".
stats() {
    sort -n | awk '{ v[NR] = $1 }
        END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
              printf "%.1f %.1f %.1f\n", m, v[1], v[NR] }'
}
median_of() { printf '%s\n' $1 | stats | cut -d' ' -f1; }
fastest_of() { printf '%s\n' $1 | stats | cut -d' ' -f2; }
# "median fastest slowest" -> "median ms (fastest-slowest)"
shown() { printf '%s\n' "$1" | awk '{ printf "%s ms (%s-%s)", $1, $2, $3 }'; }
shown_list() { shown "$(printf '%s\n' $1 | stats)"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "n/a" }'; }
mib() { awk -v b="$1" 'BEGIN { printf "%.1f MiB", b / 1048576 }'; }
# The value of a "name value" line of lvm-bench's output.
figure() { printf '%s\n' "$1" | tr -d '\r' | awk -v n="$2" '$1 == n { print $2 }'; }
timing() { printf '%s\n' "$1" | tr -d '\r' | awk -v n="$2" '$1 == n { print $2, $3, $4 }'; }
row() { printf '  %-64s %s\n' "$1" "$2"; }
section() { printf '\n== %s\n' "$1"; }
load() { cut -d' ' -f1-3 /proc/loadavg; }
# A figure of one size, kept for the summary.
keep() { eval "kept_$1_$2=\$3"; }
kept() { eval "printf '%s' \"\${kept_$1_$2:-}\""; }

# ---------------------------------------------------------------- machine
echo "== machine"
row "cores (nproc)" "$cores"
row "CPU" "$(awk -F': ' '/^model name/ { n = $2 } /^cpu family/ { f = $2 } /^model[[:space:]]*:/ { m = $2 }
    /^cpu MHz/ { h = $2 } END { printf "%s (family %s, model %s, %.0f MHz)", n, f, m, h }' /proc/cpuinfo)"
row "RAM" "$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
row "Debian" "$(cat /etc/debian_version)"
row "Wine" "$(wine --version)"
row "NSIS" "$(makensis -VERSION) ($nsis_target stub)"
row "installer built for" "$arch"
row "build" "Release, $build (and $build-xN for the package N times as large)"
for n in $sizes; do
    row "package x$n: bytes, repetitions per figure" \
        "$(bytes_of_size "$n") ($(mib "$(bytes_of_size "$n")")), $(repeats_of_size "$n") (median, then fastest-slowest)"
done
[ "$sizes" = "1" ] || row "  fewer rounds for the larger packages" "to keep the run short (peak memory: 3 runs at every size)"
row "measured on core" "$cpu (of 0-$((cores - 1)))"
row "load average at start (1, 5, 15 min)" "$(load)"

# ---------------------------------------------------------------- installation
# A prepared installation as the installer expects it on 64-bit Windows: the
# uninstall entry in the 64-bit registry view, the application in its folder,
# and the installer on drive C as if downloaded there.
work_win='C:\lvm-bench'
work="$WINEPREFIX/drive_c/lvm-bench"
app_win="$work_win\\Lingvaro"
app="$work/Lingvaro"
setup_win="$work_win\\$package-setup.exe"
nothing_win="$work_win\\lvm-nothing.exe"
floor_win="$work_win\\lvm-floor.exe"
nsis_win="$work_win\\$package-nsis.exe"
rm -rf "$app"
mkdir -p "$app"
cp "$bin/Lingvaro.exe" "$app/Lingvaro.exe"
cp "$bin/lvm-floor.exe" "$work/"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lingvaro'
wine reg delete "$key" /reg:64 /f >/dev/null 2>&1 || true
wine reg add "$key" /v UninstallString /d "$app_win\\uninst.exe" /reg:64 /f >/dev/null 2>&1
wine reg add "$key" /v DisplayName /d Lingvaro /reg:64 /f >/dev/null 2>&1

# What Wine tells each program about Windows: a copy of the installer under
# another name is told Windows 10 (Windows 8 to 11 report 6.2 to it, so every
# run there also starts the console command of the Windows description).
setup10_win="$work_win\\$package-setup10.exe"
told() {  # exe name, Wine's version name
    wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$1" /v Version /d "$2" /f >/dev/null 2>&1
}
told $package-setup.exe win7
told $package-setup10.exe win10

# The programs that carry the package of size $1 into the work folder (the
# floor reads the package from there), each run once.
stage_size() {
size=$1
size_bin="$(size_build "$size")/bin"
package_path="$(size_build "$size")/package/$package/$package_file"
package_bytes=$(bytes_of_size "$size")
size_repeats=$(repeats_of_size "$size")
rm -f "$app/$package_file"
cp "$size_bin/$package-setup.exe" "$size_bin/lvm-nothing.exe" "$size_bin/$package-nsis.exe" "$package_path" "$work/"
cp "$size_bin/$package-setup.exe" "$work/$package-setup10.exe"

# One checked run of each first, through the runner that answers message
# boxes: a run that shows a box (a failure) would otherwise wait for ever.
for setup in "$setup_win" "$setup10_win"; do
    rm -f "$app/$package_file"
    checked=$(wine "$bin/lvm-run.exe" "$setup" modest | tr -d '\r')
    if ! printf '%s\n' "$checked" | grep -qx 'exit code: 0' || printf '%s\n' "$checked" | grep -q '^message box'; then
        echo "bench: the modest install ($setup) does not succeed:" >&2
        printf '%s\n' "$checked" >&2
        exit 1
    fi
done
wine "$nothing_win" >/dev/null 2>&1
}

# Each program of a round, run once; fails the bench when it fails.
ran() {
    timeout 120 wine "$@" || { echo "bench: $* failed (status $?)" >&2; exit 1; }
}
ours7() { ran "$setup_win" modest; }
ours10() { ran "$setup10_win" modest; }
floor() { ran "$floor_win" "$work_win\\$package_file" "$app_win\\$package_file"; }
nsis() { ran "$nsis_win" /S; }
check_installed() {
    if ! cmp -s "$package_path" "$app/$package_file"; then
        echo "bench: the install did not leave the package in $app" >&2
        exit 1
    fi
}
estimated_size() {
    wine reg query "$key" /v EstimatedSize /reg:64 2>/dev/null | tr -d '\r' | awk '$1 == "EstimatedSize" { print $3 }'
}

# ---------------------------------------------------------------- 1. install
# Interleaved rounds: each program once per round, each into a folder without
# the package, so that a slow stretch of the machine hits all of them alike.
install_rounds() {
t7=""; t10=""; tfloor=""; tnsis=""; over7=""; over10=""; start=""
for i in $(seq "$size_repeats"); do
    for program in ours7 ours10 floor nsis; do
        rm -f "$app/$package_file"
        # NSIS leaves its file unflushed; written back here, its data would
        # otherwise land in the next program's flush (ext4 commits the data
        # of every file with the journal).
        sync
        t=$(now_ns); $program; ms=$(ms_since "$t")
        check_installed
        case $program in
            ours7) t7="$t7 $ms" ;;
            ours10) t10="$t10 $ms" ;;
            floor) tfloor="$tfloor $ms" ;;
            nsis) tnsis="$tnsis $ms" ;;
        esac
    done
    sync; t=$(now_ns); ours7; over7="$over7 $(ms_since "$t")"
    sync; t=$(now_ns); ours10; over10="$over10 $(ms_since "$t")"
    check_installed
    t=$(now_ns); wine "$nothing_win"; start="$start $(ms_since "$t")"
done
ours7_ms=$(median_of "$t7")
ours10_ms=$(median_of "$t10")
floor_ms=$(median_of "$tfloor")
nsis_ms=$(median_of "$tnsis")
# Both installers record the folder's size; the same figure shows both walked it.
rm -f "$app/$package_file"; ours7; ours_size=$(estimated_size)
rm -f "$app/$package_file"; nsis; nsis_size=$(estimated_size)

section "1. modest install end to end, package x$size: wall clock of 'wine PROGRAM' (warm wineserver, $size_repeats interleaved rounds)"
row "$package-setup.exe modest, told Windows 7, no package yet" "$(shown_list "$t7")"
row "$package-setup.exe modest, told Windows 10, no package yet" "$(shown_list "$t10")"
row "floor: lvm-floor.exe (read, CNG SHA-256, write + flush)" "$(shown_list "$tfloor")"
row "peer: NSIS installer /S (stored payload, CRC-32 check)" "$(shown_list "$tnsis")"
row "ours / floor, Windows 7 | Windows 10 (medians)" "$(ratio "$ours7_ms" "$floor_ms") | $(ratio "$ours10_ms" "$floor_ms")"
row "ours / NSIS, Windows 7 | Windows 10 (medians)" "$(ratio "$ours7_ms" "$nsis_ms") | $(ratio "$ours10_ms" "$nsis_ms")"
# The fastest runs as well: on this virtual disk a run now and then waits
# some 200 ms for I/O at the same CPU time, NSIS's more often than the others.
row "ours / floor, Windows 7 | Windows 10 (fastest runs)" \
    "$(ratio "$(fastest_of "$t7")" "$(fastest_of "$tfloor")") | $(ratio "$(fastest_of "$t10")" "$(fastest_of "$tfloor")")"
row "ours / NSIS, Windows 7 | Windows 10 (fastest runs)" \
    "$(ratio "$(fastest_of "$t7")" "$(fastest_of "$tnsis")") | $(ratio "$(fastest_of "$t10")" "$(fastest_of "$tnsis")")"
row "also: over the same package installed, Windows 7 | Windows 10" "$(shown_list "$over7") | $(shown_list "$over10")"
row "also: wine lvm-nothing.exe (same imports and resources)" "$(shown_list "$start")"
row "EstimatedSize written by ours | by NSIS" "$ours_size | $nsis_size"
keep "$size" ours7 "$ours7_ms"; keep "$size" ours10 "$ours10_ms"
keep "$size" floor "$floor_ms"; keep "$size" nsis "$nsis_ms"
}

# ---------------------------------------------------------------- 2. self-check
self_check() {
out=$(wine "$bin/lvm-bench.exe" selfcheck "$setup_win" "$size_repeats")
check_ms=$(figure "$out" selfcheck_ms)
read_ms=$(figure "$out" plain_read_ms)
setup_bytes=$(figure "$out" file_bytes)
sha="" ; cat_ms=""
for i in $(seq "$size_repeats"); do
    t=$(now_ns); sha256sum "$work/$package-setup.exe" >/dev/null; sha="$sha $(ms_since "$t")"
    t=$(now_ns); cat "$work/$package-setup.exe" >/dev/null; cat_ms="$cat_ms $(ms_since "$t")"
done
sha_ms=$(median_of "$sha")

section "2. self-check alone, package x$size: CheckFileIntegrity on $package-setup.exe ($setup_bytes bytes, in the page cache)"
row "CheckFileIntegrity (inside Wine)" "$(shown "$(timing "$out" selfcheck_ms)")"
row "baseline: plain read of the file, 1 MiB pieces (inside Wine)" "$(shown "$(timing "$out" plain_read_ms)")"
row "baseline: the same reads, every byte through CNG SHA-256 (inside Wine)" "$(shown "$(timing "$out" read_and_hash_ms)")"
row "the check's own work beside reading and hashing (median difference)" \
    "$(awk -v a="$check_ms" -v b="$(figure "$out" read_and_hash_ms)" 'BEGIN { printf "%.1f ms", a - b }')"
row "baseline: sha256sum of the file on the host" "$(shown_list "$sha")"
row "baseline: cat of the file on the host" "$(shown_list "$cat_ms")"
row "ratio check / plain read in Wine" "$(ratio "$check_ms" "$read_ms")"
row "ratio check / host sha256sum" "$(ratio "$check_ms" "$sha_ms")"
keep "$size" check "$check_ms"; keep "$size" hash "$(figure "$out" read_and_hash_ms)"
keep "$size" setup_bytes "$setup_bytes"
}

# ---------------------------------------------------------------- 3. FolderSizeKB
# Generated once and kept in the prefix: 100,000 sparse files in 10,000
# folders, and the same folders with one file each, which shows that the
# walk's memory follows the folders and not the files.
folder_size() {
make_tree() {  # folder, files per folder
    stamp="$1.ready"
    if [ "$(cat "$stamp" 2>/dev/null)" != "files-per-folder=$2" ]; then
        echo "bench: generating $1 (once) ..."
        rm -f "$stamp"
        python3 "$root/tests/bench/make_tree.py" "$1" "$2" >/dev/null
        echo "files-per-folder=$2" >"$stamp"
    fi
}
make_tree "$work/tree-100k" 10
make_tree "$work/tree-010k" 1

out=$(wine "$bin/lvm-bench.exe" foldersize "$work_win\\tree-100k" "$repeats")
few=$(wine "$bin/lvm-bench.exe" foldersize "$work_win\\tree-010k" 1)
# The same walk with this Wine process on another core than the wineserver.
apart=""
if [ "$cpu" != none ] && [ "$cores" -gt 1 ]; then
    other=$(( (cpu + 1) % cores ))
    apart=$(taskset -c "$other" wine "$bin/lvm-bench.exe" foldersize "$work_win\\tree-100k" 3)
fi
size_kib=$(figure "$out" folder_size_kib)
size_ms=$(figure "$out" folder_size_ms)
walk_ms=$(figure "$out" plain_walk_ms)
find_runs=""; find_kib=""
for i in $(seq "$repeats"); do
    t=$(now_ns)
    find_kib=$(find "$work/tree-100k" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "%d\n", s / 1024 }')
    find_runs="$find_runs $(ms_since "$t")"
done
find_ms=$(median_of "$find_runs")
files=$(find "$work/tree-100k" -type f | wc -l)
folders=$(find "$work/tree-100k" -mindepth 1 -type d | wc -l)
heap=$(figure "$out" walk_heap_peak_bytes)
heap_few=$(figure "$few" walk_heap_peak_bytes)
ws_before=$(figure "$out" working_set_peak_before_bytes)
ws_after=$(figure "$out" working_set_peak_after_bytes)

section "3. FolderSizeKB over $files files in $folders folders (sparse files, metadata in the page cache)"
row "FolderSizeKB result" "$size_kib KiB"
row "host: find -type f -printf %s, summed, / 1024" "$find_kib KiB"
if [ "$size_kib" = "$find_kib" ]; then row "results agree" "yes"; else row "results agree" "NO"; fi
row "FolderSizeKB (inside Wine)" "$(shown "$(timing "$out" folder_size_ms)")"
row "baseline: find over the same tree on the host" "$(shown_list "$find_runs")"
row "ratio FolderSizeKB / find" "$(ratio "$size_ms" "$find_ms")"
row "also: plain recursive FindFirstFileW walk (inside Wine)" "$(shown "$(timing "$out" plain_walk_ms)")"
row "  its result" "$(figure "$out" plain_walk_kib) KiB"
row "ratio FolderSizeKB / plain Wine walk" "$(ratio "$size_ms" "$walk_ms")"
if [ -n "$apart" ]; then
    row "also: FolderSizeKB with the wineserver on another core (3 runs)" "$(shown "$(timing "$apart" folder_size_ms)")"
fi
row "memory: C++ heap held at the walk's peak (operator new)" "$heap bytes"
row "  per folder" "$(awk -v h="$heap" -v d="$folders" 'BEGIN { printf "%.0f bytes", h / d }')"
row "  the same $folders folders with one file each: heap at the peak" "$heap_few bytes"
row "memory: bench's peak working set before -> after the walk" "$(mib "$ws_before") -> $(mib "$ws_after")"
}

# ---------------------------------------------------------------- 4. peak memory
# GetProcessMemoryInfo of the installer's process, read every 10 ms by
# lvm-bench while it runs (under Wine: the Linux process's VmHWM, and
# RssAnon + VmSwap as the private bytes); the same for the do-nothing program,
# whose image holds the same package. Wine reads image sections that are not
# page-aligned in the file (mingw aligns them to 512 bytes) into private memory
# at load, so under Wine both processes hold the whole package from the start;
# the difference between them is what the installer itself needs.
peak_memory() {
ws=""; priv=""; nothing_ws=""; nothing_priv=""; floor_ws=""
for i in 1 2 3; do
    rm -f "$app/$package_file"
    out=$(wine "$bin/lvm-bench.exe" run "$floor_win" "$work_win\\$package_file" "$app_win\\$package_file")
    [ "$(figure "$out" exit_code)" = 0 ] || { echo "bench: floor failed: $out" >&2; exit 1; }
    floor_ws="$floor_ws $(figure "$out" peak_working_set_bytes)"
    rm -f "$app/$package_file"
    out=$(wine "$bin/lvm-bench.exe" run "$setup10_win" modest)
    [ "$(figure "$out" exit_code)" = 0 ] || { echo "bench: install failed: $out" >&2; exit 1; }
    check_installed
    ws="$ws $(figure "$out" peak_working_set_bytes)"
    priv="$priv $(figure "$out" peak_private_bytes)"
    out=$(wine "$bin/lvm-bench.exe" run "$nothing_win")
    nothing_ws="$nothing_ws $(figure "$out" peak_working_set_bytes)"
    nothing_priv="$nothing_priv $(figure "$out" peak_private_bytes)"
done
ws=$(median_of "$ws")
priv=$(median_of "$priv")
nothing_ws=$(median_of "$nothing_ws")
nothing_priv=$(median_of "$nothing_priv")
floor_ws=$(median_of "$floor_ws")
# A cross-check from outside Wine: the largest resident set among the processes of the run.
rm -f "$app/$package_file"
/usr/bin/time -o "$build/bench-maxrss.txt" -f '%M' wine "$setup_win" modest >/dev/null 2>&1
rss_kib=$(tail -n 1 "$build/bench-maxrss.txt")
check_installed
added=$(awk -v a="$ws" -v b="$nothing_ws" 'BEGIN { printf "%d", a - b }')

section "4. peak memory of the installer during a modest install, package x$size, told Windows 10 (median of 3)"
row "installer peak working set (GetProcessMemoryInfo, polled)" "$(mib "$ws")"
row "installer peak private bytes (GetProcessMemoryInfo)" "$(mib "$priv")"
row "baseline: lvm-nothing.exe (same image) peak working set" "$(mib "$nothing_ws")"
row "baseline: lvm-nothing.exe (same image) peak private bytes" "$(mib "$nothing_priv")"
row "installer's peak working set above the do-nothing process" "$(mib "$added")"
row "floor: lvm-floor.exe peak working set" "$(mib "$floor_ws")"
row "installer's peak working set above the floor's" "$(mib "$(awk -v a="$ws" -v b="$floor_ws" 'BEGIN { printf "%d", a - b }')")"
row "package size" "$(mib "$package_bytes") ($package_bytes bytes)"
row "ratio peak working set / package" "$(ratio "$ws" "$package_bytes")"
row "ratio (peak - do-nothing) / package" "$(ratio "$added" "$package_bytes")"
row "cross-check: max RSS of 'wine $package-setup.exe modest' (/usr/bin/time)" \
    "$(mib "$(awk -v k="$rss_kib" 'BEGIN { printf "%d", k * 1024 }')")"
keep "$size" ws "$ws"; keep "$size" priv "$priv"; keep "$size" nothing_priv "$nothing_priv"
keep "$size" nothing_ws "$nothing_ws"; keep "$size" floor_ws "$floor_ws"
}

# ---------------------------------------------------------------- the sizes
first=""
for n in $sizes; do
    [ -n "$first" ] || first=$n
    stage_size "$n"
    install_rounds
    self_check
    [ "$n" != "$first" ] || folder_size
    peak_memory
    row "load average after package x$n (1, 5, 15 min)" "$(load)"
done

# ---------------------------------------------------------------- summary
# Growth against the first size: a figure that grows no faster than the
# package has (figure_N / figure_first) / (bytes_N / bytes_first) <= 1, here
# up to 1.1: the hash alone grows exactly with the package, and medians of
# 11 and 3 rounds on a shared machine differ by that much; private
# memory that does not grow with the package adds (almost) nothing for each
# byte the package adds.
growth() {  # figure, size
    awk -v a="$(kept "$first" "$1")" -v b="$(kept "$2" "$1")" -v p="$(bytes_of_size "$first")" \
        -v q="$(bytes_of_size "$2")" 'BEGIN { if (a > 0) printf "%.2f", (b / a) / (q / p); else printf "n/a" }'
}
per_package_byte() {  # figure, size
    awk -v a="$(kept "$first" "$1")" -v b="$(kept "$2" "$1")" -v p="$(bytes_of_size "$first")" \
        -v q="$(bytes_of_size "$2")" 'BEGIN { printf "%.2f", (b - a) / (q - p) }'
}
above_nothing() { awk -v a="$(kept "$1" priv)" -v b="$(kept "$1" nothing_priv)" 'BEGIN { printf "%d", a - b }'; }

section "summary: medians per package size (ours told Windows 10 | told Windows 7)"
printf '  %-6s %10s %18s %10s %10s %14s %14s %10s %12s %12s %12s\n' size "package" "ours ms" "floor ms" "NSIS ms" \
    "ours/NSIS" "ours/floor" "check ms" "peak WS" "peak priv" "priv-nothing"
for n in $sizes; do
    printf '  %-6s %10s %18s %10s %10s %14s %14s %10s %12s %12s %12s\n' "x$n" \
        "$(mib "$(bytes_of_size "$n")" | tr -d ' ')" "$(kept "$n" ours10) | $(kept "$n" ours7)" \
        "$(kept "$n" floor)" "$(kept "$n" nsis)" \
        "$(ratio "$(kept "$n" ours10)" "$(kept "$n" nsis)") | $(ratio "$(kept "$n" ours7)" "$(kept "$n" nsis)")" \
        "$(ratio "$(kept "$n" ours10)" "$(kept "$n" floor)") | $(ratio "$(kept "$n" ours7)" "$(kept "$n" floor)")" \
        "$(kept "$n" check)" "$(mib "$(kept "$n" ws)" | tr -d ' ')" "$(mib "$(kept "$n" priv)" | tr -d ' ')" \
        "$(mib "$(above_nothing "$n")" | tr -d ' ')"
done
for n in $sizes; do
    [ "$n" != "$first" ] || continue
    echo
    echo "  x$n against x$first (package $(ratio "$(bytes_of_size "$n")" "$(bytes_of_size "$first")") times as large):"
    for f in ours10 ours7 check floor nsis; do
        g=$(growth "$f" "$n")
        verdict=$(awk -v g="$g" 'BEGIN { print (g != "n/a" && g <= 1.1) ? "yes" : "NO" }')
        row "  $f: time growth / package growth (<= 1.1: no faster than the package)" "$g ($verdict)"
        row "    its time per added MiB of package" "$(awk -v a="$(kept "$first" "$f")" -v b="$(kept "$n" "$f")" \
            -v p="$(bytes_of_size "$first")" -v q="$(bytes_of_size "$n")" \
            'BEGIN { printf "%.2f ms", (b - a) / ((q - p) / 1048576) }')"
    done
    for f in priv ws; do
        row "  peak $f: added bytes per added package byte" "$(per_package_byte "$f" "$n")"
    done
    a=$(above_nothing "$first"); b=$(above_nothing "$n")
    slope=$(awk -v a="$a" -v b="$b" -v p="$(bytes_of_size "$first")" -v q="$(bytes_of_size "$n")" \
        'BEGIN { printf "%.2f", (b - a) / (q - p) }')
    row "  peak private above the do-nothing process (same image)" "$(mib "$a") -> $(mib "$b")"
    row "  private memory grows with the package (beyond its image)" \
        "$(awk -v s="$slope" 'BEGIN { print (s < 0.1) ? "no" : "YES" }') ($slope bytes per package byte)"
done

echo
row "load average at end (1, 5, 15 min)" "$(load)"
