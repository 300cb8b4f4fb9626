#!/usr/bin/env python3
"""Speed and memory of the installer under Wine, each figure printed against a
baseline measured in the same run, with the ratio of the two:
at three package sizes (the package the build embeds, and generated ones ten
and fifty times as large, each in an installer built for it):
  1. the modest-mode install end to end, told Windows 7 and told Windows 10,
     in rounds interleaved with the two programs people would use instead:
     a floor program (read the package once, hash it once with CNG SHA-256,
     write it once and flush it) and an NSIS installer of the same package
     (stored payload, CRC-32 self-check, the same uninstall entry, /S);
  2. the self-check alone, against plain reads of the same file;
  3. FolderSizeKB over 100,000 files in 10,000 folders, against a walk of the
     same tree with the host's find, and the memory the walk holds;
  4. the installer's peak memory during a modest install, against the
     package size, a do-nothing process and the floor program;
then a table of the three sizes: the ratios, and whether time and private
memory grow with the package. 3 is measured once, on the package the build
embeds (it does not depend on the package).
Builds in release mode in build directories of its own, next to the usual
one: -release for the package the build embeds, -release-xN for the
package N times as large (only the installer and the do-nothing program,
which carry the package; the other programs come from -release).

  scripts/bench.sh [--package DESCRIPTION]   (packages/lvm0.ini by default;
                       larger sizes are generated for pak packages only)
                       LVM_BENCH_REPEATS=N: repetitions per figure (default 11)
                       LVM_BENCH_LARGE_REPEATS=N: the same for the larger
                       packages (default 5 at ten times, 3 at fifty times)
                       LVM_BENCH_SIZES="1 10 50": the sizes, as multiples
                       LVM_BENCH_CPU=N: the core to measure on (default the last;
                       "none": no pinning)

The measurements run on one core: every Wine process talks to the wineserver
for each file-system call, and in a virtual machine a round trip to a server
waiting on another, idle core costs far more than one on the same core (the
walk over the large tree took five times as long that way). Pinned, the
figures no longer depend on whether the other core happens to be busy.
The machine is shared: the tool prints the load average before and after,
and figures taken while others build are slower and noisier.

Standard library only. It runs in two steps: this process builds and pins
itself to the core; then, so that the Wine session is the one every other
script uses (scripts/wine-session.sh, which ends its wineserver and display
when its shell exits), a shell holding that session starts this tool again to
measure, with what the first step found in LVM_BENCH_STATE.
"""
import filecmp
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import check_package  # noqa: E402  (the description, checked as the build checks it)
import make_package  # noqa: E402  (the layout of the generated packages)

DEVNULL = subprocess.DEVNULL
USAGE = "usage: scripts/bench.sh [--package DESCRIPTION]"


class Failure(Exception):
    """Ends the bench with this line on stderr and status 1."""


def run(args, **kw):
    kw.setdefault("check", True)
    return subprocess.run([str(a) for a in args], **kw)


def output(args, **kw):
    """What the command prints, without the trailing newlines, as $(...) gives it."""
    return run(args, stdout=subprocess.PIPE, text=True, errors="replace", **kw).stdout.rstrip("\n")


def num(text):
    """A number as awk reads it: its leading numeric part, else 0."""
    m = re.match(r"\s*[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?", str(text))
    return float(m.group(0)) if m else 0.0


def ms(start_ns):
    # To a tenth of a millisecond, as printed: the medians and ratios are
    # those of the figures a reader sees.
    return float("%.1f" % ((time.perf_counter_ns() - start_ns) / 1e6))


def timed(args, **kw):
    start = time.perf_counter_ns()
    run(args, **kw)
    return ms(start)


def stats(values):
    """Timings of the repetitions -> (median, fastest, slowest), as printed."""
    v = sorted(values) or [0.0]
    return "%.1f" % statistics.median(v), "%.1f" % v[0], "%.1f" % v[-1]


def median(values):
    return stats(values)[0]


def fastest(values):
    return stats(values)[1]


def shown(t):
    return "%s ms (%s-%s)" % tuple(t)


def shown_list(values):
    return shown(stats(values))


def ratio(a, b):
    return "%.2f" % (num(a) / num(b)) if num(b) > 0 else "n/a"


def mib(b):
    return "%.1f MiB" % (num(b) / 1048576)


def figures(out):
    """lvm-bench's output: one "name value [fastest slowest]" a line."""
    found = {}
    for line in out.replace("\r", "").split("\n"):
        fields = line.split()
        if fields:
            found.setdefault(fields[0], fields[1:])
    return found


def figure(out, name):
    return (figures(out).get(name) or [""])[0]


def timing(out, name):
    return (figures(out).get(name, []) + ["", "", ""])[:3]


def row(label, value):
    print("  %-64s %s" % (label, value))


def section(title):
    print("\n== %s" % title)


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split(" ")[:3])


def same_file(a, b):
    try:
        return filecmp.cmp(a, b, shallow=False)
    except OSError:
        return False


def replace_if_changed(path, write):
    """Writes PATH.new with WRITE(file) and keeps it only when its bytes differ,
    so that a second run does not build the large packages into an installer again."""
    new = path + ".new"
    with open(new, "wb") as f:
        write(f)
    if same_file(new, path):
        os.remove(new)
    else:
        os.replace(new, path)


def host_environment():
    """What cmake/wine-host.sh sets for every script that starts Wine (whether
    this host runs 32-bit user code, and the 64-bit loader where it does not)."""
    text = output(["sh", "-c", 'lvm_cmake_dir=$1; . "$1/wine-host.sh"; env -0', "sh", os.path.join(ROOT, "cmake")])
    return dict(entry.split("=", 1) for entry in text.split("\0") if "=" in entry)


# ---------------------------------------------------------------- step 1: the package, the builds
def take_package_option(args):
    """--package DESCRIPTION anywhere (scripts/package-options.sh does the same
    for the shell scripts); -> (description, package name, facts), the facts
    checked as the build checks them."""
    description = os.path.join(ROOT, "packages", "lvm0.ini")
    rest = []
    while args:
        if args[0] == "--package":
            if len(args) < 2:
                print("bench.sh: --package needs a package description (packages/NAME.ini)", file=sys.stderr)
                sys.exit(2)
            description, args = args[1], args[2:]
        elif args[0].startswith("--package="):
            description, args = args[0][len("--package="):], args[1:]
        else:
            rest, args = rest + [args[0]], args[1:]
    if not os.path.isfile(description):
        print("%s: no such package description" % description, file=sys.stderr)
        sys.exit(2)
    if rest:
        print(USAGE, file=sys.stderr)
        sys.exit(2)
    description = os.path.realpath(description)
    try:
        d = check_package.checked_description(description)
    except check_package.DescriptionError as error:
        sys.exit(str(error))  # one line, as the build gives it
    facts = {"package_kind": d["kind"], "package_version": str(d["version"]),
             "package_file": check_package.package_file_name(d)}
    package = d["name"]
    return description, package, facts


def prepare():
    description, package, facts = take_package_option(sys.argv[1:])
    kind, version, package_file = facts["package_kind"], facts["package_version"], facts["package_file"]
    build = (os.environ.get("LVM_BUILD_DIR") or os.path.join(ROOT, "build")) + "-release"
    sizes = os.environ.get("LVM_BENCH_SIZES") or "1 10 50"
    if kind != "pak" and sizes != "1":
        print("bench: %s is a %s package: tools/make_package.py makes larger packages of kind pak only, "
              "so only x1 is measured" % (package, kind))
        sizes = "1"

    # Only the programs the bench runs: the tests of the release build would
    # cost minutes of a shared two-core machine and are never run from here.
    run([os.path.join(ROOT, "scripts", "setup.sh")])
    # The shipped i686 build where the host runs 32-bit user code; elsewhere
    # the x86_64 build of the same sources, the only one Wine can run there.
    os.environ.update(host_environment())
    arch = "i686" if os.environ["LVM_HOST_RUNS_32BIT"] == "yes" else "x86_64"
    cores = len(os.sched_getaffinity(0))

    def configure(tree, tree_description=description):
        # The description every time: the cache would otherwise keep the last one.
        run([os.path.join(ROOT, "scripts", "configure.sh"), tree, arch,
             "-DLVM_PACKAGE_DESCRIPTION=" + tree_description],
            stdout=DEVNULL, env=dict(os.environ, LVM_BUILD_TYPE="Release"))

    def build_targets(tree, *targets):
        run(["cmake", "--build", tree, "--parallel", cores, "--target"] + list(targets), stdout=DEVNULL)

    configure(build)
    build_targets(build, package + "-setup", "Lingvaro", "lvm-run", "lvm-bench", "lvm-nothing", "lvm-floor")

    if not shutil.which("makensis"):
        run(["apt-get", "install", "-y", "-q", "nsis"], stdout=DEVNULL)
    nsis_target = "x86-unicode" if arch == "i686" else "amd64-unicode"
    nsis_script = os.path.join(ROOT, "tests", "bench", "nsis", "lvm0.nsi")

    # Each size: its build directory, with its package, its installer, its
    # do-nothing program and its NSIS peer (the same package in an NSIS
    # installer, for the same architecture).
    package_bytes = {}
    for n in [int(s) for s in sizes.split()]:
        tree = size_build(build, n)
        if n != 1:
            generated = os.path.join(tree, "generated")
            os.makedirs(generated, exist_ok=True)
            replace_if_changed(os.path.join(generated, package_file),
                               lambda f: make_package.write(int(version), n, f))
            # The description with the large package as its file.
            with open(description, "rb") as f:
                lines = f.read().split(b"\n")
            if lines[-1] == b"":
                lines.pop()
            kept = [line for line in lines if not re.match(rb" *file *=", line)]
            kept.append(b"file = " + package_file.encode())
            larger = os.path.join(generated, package + ".ini")
            replace_if_changed(larger, lambda f: f.write(b"".join(line + b"\n" for line in kept)))
            configure(tree, larger)
            build_targets(tree, package + "-setup", "lvm-nothing")
        package_path = os.path.join(tree, "package", package, package_file)
        size = os.path.getsize(package_path)
        if kind == "pak" and size != make_package.total_size(n):
            raise Failure("bench: %s is not the %d-byte package" % (package_path, make_package.total_size(n)))
        package_bytes[n] = size
        nsis = os.path.join(tree, "bin", package + "-nsis.exe")
        if not newer(nsis, package_path) or not newer(nsis, nsis_script):
            run(["makensis", "-V2", "-DTARGET=" + nsis_target, "-DPACKAGE=" + package_path,
                 "-DOUTFILE=" + nsis, nsis_script], stdout=DEVNULL)

    cpu = os.environ.get("LVM_BENCH_CPU") or str(cores - 1)
    if cpu != "none":
        # Inherited by everything started from here on: the wineserver, every
        # Wine process and the host's baselines.
        os.sched_setaffinity(0, {int(cpu)})
    return dict(description=description, package=package, kind=kind, package_file=package_file,
                build=build, sizes=sizes, package_bytes=package_bytes, arch=arch,
                nsis_target=nsis_target, cores=cores, cpu=cpu)


def size_build(build, n):
    return build if n == 1 else "%s-x%d" % (build, n)


def newer(a, b):
    """test's A -nt B."""
    try:
        ta = os.stat(a).st_mtime_ns
    except OSError:
        return False
    try:
        return ta > os.stat(b).st_mtime_ns
    except OSError:
        return True


# ---------------------------------------------------------------- step 2: the measurements
class Bench:
    def __init__(self, state):
        self.__dict__.update(state)
        self.package_bytes = {int(n): b for n, b in self.package_bytes.items()}
        self.sizes_list = [int(s) for s in self.sizes.split()]
        self.bin = os.path.join(self.build, "bin")
        self.repeats = os.environ.get("LVM_BENCH_REPEATS") or "11"
        self.kept = {}  # size -> figure -> value, for the summary
        # A prepared installation as the installer expects it on 64-bit
        # Windows: the uninstall entry in the 64-bit registry view, the
        # application in its folder, and the installer on drive C as if
        # downloaded there.
        self.work_win = "C:\\lvm-bench"
        self.work = os.path.join(os.environ["WINEPREFIX"], "drive_c", "lvm-bench")
        self.app_win = self.work_win + "\\Lingvaro"
        self.app = os.path.join(self.work, "Lingvaro")
        self.setup_win = "%s\\%s-setup.exe" % (self.work_win, self.package)
        self.setup10_win = "%s\\%s-setup10.exe" % (self.work_win, self.package)
        self.nothing_win = self.work_win + "\\lvm-nothing.exe"
        self.floor_win = self.work_win + "\\lvm-floor.exe"
        self.nsis_win = "%s\\%s-nsis.exe" % (self.work_win, self.package)
        self.installed = os.path.join(self.app, self.package_file)
        self.key = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lingvaro"

    def repeats_of_size(self, n):
        if n == 1:
            return self.repeats
        return os.environ.get("LVM_BENCH_LARGE_REPEATS") or ("5" if n <= 10 else "3")

    def keep(self, size, **values):
        self.kept.setdefault(size, {}).update(values)

    def lvm_bench(self, *args, **kw):
        return output(["wine", os.path.join(self.bin, "lvm-bench.exe")] + list(args), **kw)

    def machine(self):
        print("== machine")
        row("cores (nproc)", self.cores)
        cpu = {}
        with open("/proc/cpuinfo") as f:
            for line in f:
                value = (line.rstrip("\n").split(": ") + [""])[1]
                for name, pattern in (("n", r"model name"), ("f", r"cpu family"), ("m", r"model\s*:"),
                                      ("h", r"cpu MHz")):
                    if re.match(pattern, line):
                        cpu[name] = value
        row("CPU", "%s (family %s, model %s, %.0f MHz)" % (cpu.get("n", ""), cpu.get("f", ""), cpu.get("m", ""),
                                                          num(cpu.get("h", ""))))
        with open("/proc/meminfo") as f:
            kib = [num(line.split()[1]) for line in f if line.startswith("MemTotal")]
        row("RAM", "%.1f GiB" % (kib[0] / 1048576))
        with open("/etc/debian_version") as f:
            row("Debian", f.read().rstrip("\n"))
        row("Wine", output(["wine", "--version"]))
        row("NSIS", "%s (%s stub)" % (output(["makensis", "-VERSION"]), self.nsis_target))
        row("installer built for", self.arch)
        row("build", "Release, %s (and %s-xN for the package N times as large)" % (self.build, self.build))
        for n in self.sizes_list:
            row("package x%d: bytes, repetitions per figure" % n, "%d (%s), %s (median, then fastest-slowest)"
                % (self.package_bytes[n], mib(self.package_bytes[n]), self.repeats_of_size(n)))
        if self.sizes != "1":
            row("  fewer rounds for the larger packages", "to keep the run short (peak memory: 3 runs at every size)")
        row("measured on core", "%s (of 0-%d)" % (self.cpu, self.cores - 1))
        row("load average at start (1, 5, 15 min)", load())

    def installation(self):
        shutil.rmtree(self.app, ignore_errors=True)
        os.makedirs(self.app)
        shutil.copy(os.path.join(self.bin, "Lingvaro.exe"), os.path.join(self.app, "Lingvaro.exe"))
        shutil.copy(os.path.join(self.bin, "lvm-floor.exe"), self.work)
        quiet = dict(stdout=DEVNULL, stderr=DEVNULL)
        run(["wine", "reg", "delete", self.key, "/reg:64", "/f"], check=False, **quiet)
        run(["wine", "reg", "add", self.key, "/v", "UninstallString", "/d", self.app_win + "\\uninst.exe",
             "/reg:64", "/f"], **quiet)
        run(["wine", "reg", "add", self.key, "/v", "DisplayName", "/d", "Lingvaro", "/reg:64", "/f"], **quiet)
        # What Wine tells each program about Windows: a copy of the installer
        # under another name is told Windows 10 (Windows 8 to 11 report 6.2 to
        # it, so every run there also starts the console command of the
        # Windows description).
        for exe, version in (("-setup.exe", "win7"), ("-setup10.exe", "win10")):
            run(["wine", "reg", "add", "HKCU\\Software\\Wine\\AppDefaults\\" + self.package + exe,
                 "/v", "Version", "/d", version, "/f"], **quiet)

    def stage_size(self, size):
        """The programs that carry the package of this size into the work
        folder (the floor reads the package from there), each run once."""
        self.size = size
        tree = size_build(self.build, size)
        size_bin = os.path.join(tree, "bin")
        self.package_path = os.path.join(tree, "package", self.package, self.package_file)
        self.size_repeats = self.repeats_of_size(size)
        self.remove_installed()
        for name in (self.package + "-setup.exe", "lvm-nothing.exe", self.package + "-nsis.exe"):
            shutil.copy(os.path.join(size_bin, name), self.work)
        shutil.copy(self.package_path, self.work)
        shutil.copy(os.path.join(size_bin, self.package + "-setup.exe"),
                    os.path.join(self.work, self.package + "-setup10.exe"))
        # One checked run of each first, through the runner that answers
        # message boxes: a run that shows a box (a failure) would otherwise
        # wait for ever.
        for setup in (self.setup_win, self.setup10_win):
            self.remove_installed()
            checked = run(["wine", os.path.join(self.bin, "lvm-run.exe"), setup, "modest"], check=False,
                          stdout=subprocess.PIPE, text=True, errors="replace").stdout.replace("\r", "")
            lines = checked.split("\n")
            if "exit code: 0" not in lines or any(line.startswith("message box") for line in lines):
                raise Failure("bench: the modest install (%s) does not succeed:\n%s" % (setup, checked.rstrip("\n")))
        run(["wine", self.nothing_win], stdout=DEVNULL, stderr=DEVNULL)

    def remove_installed(self):
        if os.path.lexists(self.installed):
            os.remove(self.installed)

    def ran(self, *args):
        """A program of a round, run once; fails the bench when it fails."""
        start = time.perf_counter_ns()
        status = run(["timeout", "120", "wine"] + list(args), check=False).returncode
        if status != 0:
            raise Failure("bench: %s failed (status %d)" % (" ".join(args), status))
        return ms(start)

    def ours7(self):
        return self.ran(self.setup_win, "modest")

    def ours10(self):
        return self.ran(self.setup10_win, "modest")

    def floor(self):
        return self.ran(self.floor_win, self.work_win + "\\" + self.package_file,
                        self.app_win + "\\" + self.package_file)

    def nsis(self):
        return self.ran(self.nsis_win, "/S")

    def check_installed(self):
        if not same_file(self.package_path, self.installed):
            raise Failure("bench: the install did not leave the package in %s" % self.app)

    def estimated_size(self):
        out = run(["wine", "reg", "query", self.key, "/v", "EstimatedSize", "/reg:64"], check=False,
                  stdout=subprocess.PIPE, stderr=DEVNULL, text=True, errors="replace").stdout
        return "\n".join(f[2] for f in (line.split() for line in out.replace("\r", "").split("\n"))
                         if len(f) > 2 and f[0] == "EstimatedSize")

    # ------------------------------------------------------------ 1. install
    def install_rounds(self):
        """Interleaved rounds: each program once per round, each into a folder
        without the package, so that a slow stretch of the machine hits all of
        them alike."""
        programs = ("ours7", "ours10", "floor", "nsis")
        t = {p: [] for p in programs}
        over7, over10, start = [], [], []
        for _ in range(int(self.size_repeats)):
            for program in programs:
                self.remove_installed()
                # NSIS leaves its file unflushed; written back here, its data
                # would otherwise land in the next program's flush (ext4
                # commits the data of every file with the journal).
                os.sync()
                t[program].append(getattr(self, program)())
                self.check_installed()
            os.sync()
            over7.append(self.ours7())
            os.sync()
            over10.append(self.ours10())
            self.check_installed()
            start.append(timed(["wine", self.nothing_win]))
        med = {p: median(t[p]) for p in programs}
        # Both installers record the folder's size; the same figure shows both walked it.
        self.remove_installed()
        self.ours7()
        ours_size = self.estimated_size()
        self.remove_installed()
        self.nsis()
        nsis_size = self.estimated_size()

        size, package = self.size, self.package
        section("1. modest install end to end, package x%d: wall clock of 'wine PROGRAM' "
                "(warm wineserver, %s interleaved rounds)" % (size, self.size_repeats))
        row("%s-setup.exe modest, told Windows 7, no package yet" % package, shown_list(t["ours7"]))
        row("%s-setup.exe modest, told Windows 10, no package yet" % package, shown_list(t["ours10"]))
        row("floor: lvm-floor.exe (read, CNG SHA-256, write + flush)", shown_list(t["floor"]))
        row("peer: NSIS installer /S (stored payload, CRC-32 check)", shown_list(t["nsis"]))
        row("ours / floor, Windows 7 | Windows 10 (medians)",
            "%s | %s" % (ratio(med["ours7"], med["floor"]), ratio(med["ours10"], med["floor"])))
        row("ours / NSIS, Windows 7 | Windows 10 (medians)",
            "%s | %s" % (ratio(med["ours7"], med["nsis"]), ratio(med["ours10"], med["nsis"])))
        # The fastest runs as well: on this virtual disk a run now and then
        # waits some 200 ms for I/O at the same CPU time, NSIS's more often
        # than the others.
        best = {p: fastest(t[p]) for p in programs}
        row("ours / floor, Windows 7 | Windows 10 (fastest runs)",
            "%s | %s" % (ratio(best["ours7"], best["floor"]), ratio(best["ours10"], best["floor"])))
        row("ours / NSIS, Windows 7 | Windows 10 (fastest runs)",
            "%s | %s" % (ratio(best["ours7"], best["nsis"]), ratio(best["ours10"], best["nsis"])))
        row("also: over the same package installed, Windows 7 | Windows 10",
            "%s | %s" % (shown_list(over7), shown_list(over10)))
        row("also: wine lvm-nothing.exe (same imports and resources)", shown_list(start))
        row("EstimatedSize written by ours | by NSIS", "%s | %s" % (ours_size, nsis_size))
        self.keep(size, **med)

    # ------------------------------------------------------------ 2. self-check
    def self_check(self):
        out = self.lvm_bench("selfcheck", self.setup_win, self.size_repeats)
        check_ms = figure(out, "selfcheck_ms")
        hash_ms = figure(out, "read_and_hash_ms")
        setup_bytes = figure(out, "file_bytes")
        setup = os.path.join(self.work, self.package + "-setup.exe")
        sha, cat = [], []
        for _ in range(int(self.size_repeats)):
            sha.append(timed(["sha256sum", setup], stdout=DEVNULL))
            cat.append(timed(["cat", setup], stdout=DEVNULL))

        section("2. self-check alone, package x%d: the self-check (TBackgroundSelfCheck) on %s-setup.exe (%s bytes, in the page cache)"
                % (self.size, self.package, setup_bytes))
        row("the self-check (inside Wine)", shown(timing(out, "selfcheck_ms")))
        row("baseline: plain read of the file, 1 MiB pieces (inside Wine)", shown(timing(out, "plain_read_ms")))
        row("baseline: the same reads, every byte through CNG SHA-256 (inside Wine)",
            shown(timing(out, "read_and_hash_ms")))
        row("the check's own work beside reading and hashing (median difference)",
            "%.1f ms" % (num(check_ms) - num(hash_ms)))
        row("baseline: sha256sum of the file on the host", shown_list(sha))
        row("baseline: cat of the file on the host", shown_list(cat))
        row("ratio check / plain read in Wine", ratio(check_ms, figure(out, "plain_read_ms")))
        row("ratio check / host sha256sum", ratio(check_ms, median(sha)))
        self.keep(self.size, check=check_ms, hash=hash_ms, setup_bytes=setup_bytes)

    # ------------------------------------------------------------ 3. FolderSizeKB
    def folder_size(self):
        """Over a tree generated once and kept in the prefix: 100,000 sparse
        files in 10,000 folders, and the same folders with one file each,
        which shows that the walk's memory follows the folders and not the
        files."""
        tree, few_tree = os.path.join(self.work, "tree-100k"), os.path.join(self.work, "tree-010k")
        for folder, per_folder in ((tree, 10), (few_tree, 1)):
            stamp = folder + ".ready"
            try:
                with open(stamp) as f:
                    ready = f.read().rstrip("\n")
            except OSError:
                ready = ""
            if ready != "files-per-folder=%d" % per_folder:
                print("bench: generating %s (once) ..." % folder)
                if os.path.lexists(stamp):
                    os.remove(stamp)
                run([sys.executable, os.path.join(ROOT, "tests", "bench", "make_tree.py"), folder, per_folder],
                    stdout=DEVNULL)
                with open(stamp, "w") as f:
                    f.write("files-per-folder=%d\n" % per_folder)

        out = self.lvm_bench("foldersize", self.work_win + "\\tree-100k", self.repeats)
        few = self.lvm_bench("foldersize", self.work_win + "\\tree-010k", "1")
        # The same walk with this Wine process on another core than the wineserver.
        apart = ""
        if self.cpu != "none" and self.cores > 1:
            other = (int(self.cpu) + 1) % self.cores
            apart = output(["taskset", "-c", other, "wine", os.path.join(self.bin, "lvm-bench.exe"),
                            "foldersize", self.work_win + "\\tree-100k", "3"])
        size_kib = figure(out, "folder_size_kib")
        size_ms = figure(out, "folder_size_ms")
        find_runs = []
        for _ in range(int(self.repeats)):
            start = time.perf_counter_ns()
            sizes = output(["find", tree, "-type", "f", "-printf", "%s\\n"])
            find_kib = "%d" % (sum(int(s) for s in sizes.split()) // 1024)
            find_runs.append(ms(start))
        files = len(output(["find", tree, "-type", "f"]).splitlines())
        folders = len(output(["find", tree, "-mindepth", "1", "-type", "d"]).splitlines())
        heap = figure(out, "walk_heap_peak_bytes")

        section("3. FolderSizeKB over %d files in %d folders (sparse files, metadata in the page cache)"
                % (files, folders))
        row("FolderSizeKB result", "%s KiB" % size_kib)
        row("host: find -type f -printf %s, summed, / 1024", "%s KiB" % find_kib)
        row("results agree", "yes" if size_kib == find_kib else "NO")
        row("FolderSizeKB (inside Wine)", shown(timing(out, "folder_size_ms")))
        row("baseline: find over the same tree on the host", shown_list(find_runs))
        row("ratio FolderSizeKB / find", ratio(size_ms, median(find_runs)))
        row("also: plain recursive FindFirstFileW walk (inside Wine)", shown(timing(out, "plain_walk_ms")))
        row("  its result", "%s KiB" % figure(out, "plain_walk_kib"))
        row("ratio FolderSizeKB / plain Wine walk", ratio(size_ms, figure(out, "plain_walk_ms")))
        if apart:
            row("also: FolderSizeKB with the wineserver on another core (3 runs)",
                shown(timing(apart, "folder_size_ms")))
        row("memory: C++ heap held at the walk's peak (operator new)", "%s bytes" % heap)
        row("  per folder", "%.0f bytes" % (num(heap) / folders))
        row("  the same %d folders with one file each: heap at the peak" % folders,
            "%s bytes" % figure(few, "walk_heap_peak_bytes"))
        row("memory: bench's peak working set before -> after the walk", "%s -> %s" % (
            mib(figure(out, "working_set_peak_before_bytes")), mib(figure(out, "working_set_peak_after_bytes"))))

    # ------------------------------------------------------------ 4. peak memory
    def peak_memory(self):
        """GetProcessMemoryInfo of the installer's process, read every 10 ms by
        lvm-bench while it runs (under Wine: the Linux process's VmHWM, and
        RssAnon + VmSwap as the private bytes); the same for the do-nothing
        program, whose image holds the same package. Wine reads image sections
        that are not page-aligned in the file (mingw aligns them to 512 bytes)
        into private memory at load, so under Wine both processes hold the
        whole package from the start; the difference between them is what the
        installer itself needs."""
        samples = {name: [] for name in ("ws", "priv", "nothing_ws", "nothing_priv", "floor_ws")}
        for _ in range(3):
            self.remove_installed()
            out = self.lvm_bench("run", self.floor_win, self.work_win + "\\" + self.package_file,
                                 self.app_win + "\\" + self.package_file)
            if figure(out, "exit_code") != "0":
                raise Failure("bench: floor failed: %s" % out)
            samples["floor_ws"].append(num(figure(out, "peak_working_set_bytes")))
            self.remove_installed()
            out = self.lvm_bench("run", self.setup10_win, "modest")
            if figure(out, "exit_code") != "0":
                raise Failure("bench: install failed: %s" % out)
            self.check_installed()
            samples["ws"].append(num(figure(out, "peak_working_set_bytes")))
            samples["priv"].append(num(figure(out, "peak_private_bytes")))
            out = self.lvm_bench("run", self.nothing_win)
            samples["nothing_ws"].append(num(figure(out, "peak_working_set_bytes")))
            samples["nothing_priv"].append(num(figure(out, "peak_private_bytes")))
        m = {name: median(values) for name, values in samples.items()}
        # A cross-check from outside Wine: the largest resident set among the
        # processes of the run.
        self.remove_installed()
        maxrss = os.path.join(self.build, "bench-maxrss.txt")
        run(["/usr/bin/time", "-o", maxrss, "-f", "%M", "wine", self.setup_win, "modest"],
            stdout=DEVNULL, stderr=DEVNULL)
        with open(maxrss) as f:
            rss_kib = (f.read().splitlines() or [""])[-1]
        self.check_installed()
        added = "%d" % int(num(m["ws"]) - num(m["nothing_ws"]))
        package_bytes = self.package_bytes[self.size]

        section("4. peak memory of the installer during a modest install, package x%d, told Windows 10 (median of 3)"
                % self.size)
        row("installer peak working set (GetProcessMemoryInfo, polled)", mib(m["ws"]))
        row("installer peak private bytes (GetProcessMemoryInfo)", mib(m["priv"]))
        row("baseline: lvm-nothing.exe (same image) peak working set", mib(m["nothing_ws"]))
        row("baseline: lvm-nothing.exe (same image) peak private bytes", mib(m["nothing_priv"]))
        row("installer's peak working set above the do-nothing process", mib(added))
        row("floor: lvm-floor.exe peak working set", mib(m["floor_ws"]))
        row("installer's peak working set above the floor's", mib(int(num(m["ws"]) - num(m["floor_ws"]))))
        row("package size", "%s (%d bytes)" % (mib(package_bytes), package_bytes))
        row("ratio peak working set / package", ratio(m["ws"], package_bytes))
        row("ratio (peak - do-nothing) / package", ratio(added, package_bytes))
        row("cross-check: max RSS of 'wine %s-setup.exe modest' (/usr/bin/time)" % self.package,
            mib(int(num(rss_kib) * 1024)))
        self.keep(self.size, **m)

    # ------------------------------------------------------------ summary
    def summary(self):
        """Growth against the first size: a figure that grows no faster than
        the package has (figure_N / figure_first) / (bytes_N / bytes_first) <= 1,
        here up to 1.1: the hash alone grows exactly with the package, and
        medians of 11 and 3 rounds on a shared machine differ by that much;
        private memory that does not grow with the package adds (almost)
        nothing for each byte the package adds."""
        first = self.sizes_list[0]
        kept = lambda n, name: self.kept.get(n, {}).get(name, "")  # noqa: E731
        above_nothing = lambda n: int(num(kept(n, "priv")) - num(kept(n, "nothing_priv")))  # noqa: E731
        columns = "  %-6s %10s %18s %10s %10s %14s %14s %10s %12s %12s %12s"
        section("summary: medians per package size (ours told Windows 10 | told Windows 7)")
        print(columns % ("size", "package", "ours ms", "floor ms", "NSIS ms", "ours/NSIS", "ours/floor",
                         "check ms", "peak WS", "peak priv", "priv-nothing"))
        for n in self.sizes_list:
            print(columns % (
                "x%d" % n, mib(self.package_bytes[n]).replace(" ", ""),
                "%s | %s" % (kept(n, "ours10"), kept(n, "ours7")), kept(n, "floor"), kept(n, "nsis"),
                "%s | %s" % (ratio(kept(n, "ours10"), kept(n, "nsis")), ratio(kept(n, "ours7"), kept(n, "nsis"))),
                "%s | %s" % (ratio(kept(n, "ours10"), kept(n, "floor")), ratio(kept(n, "ours7"), kept(n, "floor"))),
                kept(n, "check"), mib(kept(n, "ws")).replace(" ", ""), mib(kept(n, "priv")).replace(" ", ""),
                mib(above_nothing(n)).replace(" ", "")))
        p = self.package_bytes[first]
        for n in self.sizes_list:
            if n == first:
                continue
            q = self.package_bytes[n]
            print()
            print("  x%d against x%d (package %s times as large):" % (n, first, ratio(q, p)))
            for name in ("ours10", "ours7", "check", "floor", "nsis"):
                a, b = num(kept(first, name)), num(kept(n, name))
                growth = "%.2f" % ((b / a) / (q / p)) if a > 0 else "n/a"
                verdict = "yes" if growth != "n/a" and float(growth) <= 1.1 else "NO"
                row("  %s: time growth / package growth (<= 1.1: no faster than the package)" % name,
                    "%s (%s)" % (growth, verdict))
                row("    its time per added MiB of package", "%.2f ms" % ((b - a) / ((q - p) / 1048576)))
            for name in ("priv", "ws"):
                row("  peak %s: added bytes per added package byte" % name,
                    "%.2f" % ((num(kept(n, name)) - num(kept(first, name))) / (q - p)))
            a, b = above_nothing(first), above_nothing(n)
            slope = "%.2f" % ((b - a) / (q - p))
            row("  peak private above the do-nothing process (same image)", "%s -> %s" % (mib(a), mib(b)))
            row("  private memory grows with the package (beyond its image)",
                "%s (%s bytes per package byte)" % ("no" if float(slope) < 0.1 else "YES", slope))

    def measure(self):
        self.machine()
        self.installation()
        for n in self.sizes_list:
            self.stage_size(n)
            self.install_rounds()
            self.self_check()
            if n == self.sizes_list[0]:
                self.folder_size()
            self.peak_memory()
            row("load average after package x%d (1, 5, 15 min)" % n, load())
        self.summary()
        print()
        row("load average at end (1, 5, 15 min)", load())


def main():
    # Lines in order with the programs' own output on the same terminal or file.
    sys.stdout.reconfigure(line_buffering=True)
    try:
        state = os.environ.pop("LVM_BENCH_STATE", None)
        if state is not None:
            Bench(json.loads(state)).measure()
            return
        state = prepare()
        # The Wine session of every script (a display, the build's prefix, a
        # warm wineserver), held by a shell that ends it when step 2 ends.
        sys.exit(subprocess.call(
            ["sh", "-c", 'root=$1 build=$2; shift 2; . "$root/scripts/wine-session.sh"; "$@"', "sh",
             ROOT, state["build"], sys.executable, os.path.abspath(__file__)],
            env=dict(os.environ, LVM_BENCH_STATE=json.dumps(state))))
    except Failure as failure:
        print(failure, file=sys.stderr)
        sys.exit(1)
    except subprocess.CalledProcessError as error:
        print("bench: %s failed (status %d)" % (" ".join(error.cmd), error.returncode), file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
