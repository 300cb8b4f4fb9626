// lvm-bench: the figures of scripts/bench.sh that have to be taken inside Windows.
//
//   lvm-bench selfcheck FILE REPEATS
//       the self-check (TBackgroundSelfCheck) on FILE against a plain read of
//       the same file.
//   lvm-bench foldersize FOLDER REPEATS
//       FolderSizeKB over FOLDER (its result, time and the memory it holds)
//       against a plain recursive walk of the same tree.
//   lvm-bench run [--timeout=MS] PROGRAM [ARGUMENTS...]
//       starts PROGRAM, waits for it, and prints its full exit code, its time
//       and its peak memory.
//
// Each figure is one "name value" line, for the script to pick up (timings over
// repetitions: "name median fastest slowest", in ms); a failure is a line on
// stderr and a non-zero exit code.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "bench_support.h"
#include "common/scoped_handle.h"
#include "common/sha256.h"
#include "common/text.h"
#include "environment/folder_size.h"
#include "heap_counter.h"
#include "selfcheck/self_check.h"
#include "support/test_paths.h"

namespace lvm::bench {
namespace {

constexpr int kUsage = 2;
constexpr int kFailed = 1;
// The self-check reads in pieces of this size too: the baseline reads the same way.
constexpr DWORD kReadChunk = 1 << 20;

void PrintFigure(const char* name, double value) { std::printf("%s %.1f\n", name, value); }
// A timing over repetitions: its median, then the fastest and the slowest.
void PrintTimings(const char* name, const std::vector<double>& ms) {
    std::printf("%s %.1f %.1f %.1f\n", name, Median(ms), *std::min_element(ms.begin(), ms.end()),
                *std::max_element(ms.begin(), ms.end()));
}
void PrintCount(const char* name, uint64_t value) {
    std::printf("%s %llu\n", name, static_cast<unsigned long long>(value));
}

int Fail(const char* what) {
    std::fprintf(stderr, "lvm-bench: %s (error %lu)\n", what, GetLastError());
    return kFailed;
}

int ParseRepeats(const wchar_t* text) {
    const long repeats = std::wcstol(text, nullptr, 10);
    return repeats < 1 ? 1 : static_cast<int>(repeats);
}

// ------------------------------------------------------------------ selfcheck

// Reads the whole file once, as the check does, and hands back the bytes read
// (UINT64_MAX when it cannot be read); with a hash, hashes every byte read.
uint64_t ReadWholeFile(const std::wstring& path, TSha256* hash = nullptr) {
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return UINT64_MAX;
    std::vector<char> buffer(kReadChunk);
    uint64_t total = 0;
    DWORD got = 0;
    do {
        if (!ReadFile(file.get(), buffer.data(), kReadChunk, &got, nullptr)) return UINT64_MAX;
        if (hash) hash->Update(buffer.data(), got);
        total += got;
    } while (got != 0);
    return total;
}

int BenchSelfCheck(const std::wstring& path, int repeats) {
    // One untimed round of each, so that both find the file in the cache.
    if (TBackgroundSelfCheck(path).Verdict() != SelfCheckResult::Passed) return Fail("the self-check does not pass");
    const uint64_t size = ReadWholeFile(path);
    if (size == UINT64_MAX) return Fail("the file cannot be read");

    std::vector<double> checkMs;
    std::vector<double> readMs;
    std::vector<double> hashMs;
    for (int i = 0; i < repeats; ++i) {
        const Stopwatch check;
        const SelfCheckResult result = TBackgroundSelfCheck(path).Verdict();
        checkMs.push_back(check.ElapsedMs());
        if (result != SelfCheckResult::Passed) return Fail("the self-check does not pass");

        const Stopwatch read;
        const uint64_t got = ReadWholeFile(path);
        readMs.push_back(read.ElapsedMs());
        if (got != size) return Fail("the file changed while it was read");

        const Stopwatch hashed;
        TSha256 hash;
        const uint64_t hashedBytes = ReadWholeFile(path, &hash);
        hash.Finish();
        hashMs.push_back(hashed.ElapsedMs());
        if (hashedBytes != size) return Fail("the file changed while it was read");
    }
    PrintCount("file_bytes", size);
    PrintTimings("selfcheck_ms", checkMs);
    PrintTimings("plain_read_ms", readMs);
    PrintTimings("read_and_hash_ms", hashMs);
    return 0;
}

// ------------------------------------------------------------------ foldersize

struct WalkTotals {
    uint64_t bytes = 0;
    uint64_t files = 0;
    uint64_t folders = 0;
};

// The simplest correct walk: depth-first recursion, every search open down the
// path. It follows no folder links, like FolderSizeKB.
void PlainWalk(const std::wstring& folder, WalkTotals& totals) {
    WIN32_FIND_DATAW entry;
    ScopedFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!search) return;
    do {
        const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!isFolder) {
            totals.bytes += (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
            ++totals.files;
        } else if (std::wcscmp(entry.cFileName, L".") != 0 && std::wcscmp(entry.cFileName, L"..") != 0 &&
                   !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            ++totals.folders;
            PlainWalk(folder + L"\\" + entry.cFileName, totals);
        }
    } while (FindNextFileW(search.get(), &entry));
}

int BenchFolderSize(const std::wstring& folder, int repeats) {
    const std::string utf8Folder = Narrow(folder);

    // The first walk is also the memory reading: the high-water mark of the
    // C++ heap is restarted just before it, and the process's peak working set
    // is read on both sides of it.
    const MemoryFigures processBefore = ReadMemory(GetCurrentProcess());
    ResetHeapPeak();
    const size_t liveBefore = CurrentHeap().liveBytes;
    const Stopwatch first;
    const int32_t kib = FolderSizeKB(utf8Folder);
    const double firstMs = first.ElapsedMs();
    const size_t heapPeak = CurrentHeap().peakBytes - liveBefore;
    const MemoryFigures processAfter = ReadMemory(GetCurrentProcess());
    if (kib < 0) return Fail("FolderSizeKB found no folder");

    std::vector<double> sizeMs;
    std::vector<double> walkMs;
    WalkTotals totals;
    for (int i = 0; i < repeats; ++i) {
        const Stopwatch timed;
        const int32_t again = FolderSizeKB(utf8Folder);
        sizeMs.push_back(timed.ElapsedMs());
        if (again != kib) return Fail("FolderSizeKB changed its answer between walks");

        totals = WalkTotals{};
        const Stopwatch walk;
        PlainWalk(folder, totals);
        walkMs.push_back(walk.ElapsedMs());
    }
    PrintCount("folder_size_kib", static_cast<uint64_t>(kib));
    PrintTimings("folder_size_ms", sizeMs);
    PrintFigure("folder_size_first_ms", firstMs);
    PrintCount("plain_walk_kib", totals.bytes >> 10);
    PrintCount("plain_walk_files", totals.files);
    PrintCount("plain_walk_folders", totals.folders);
    PrintTimings("plain_walk_ms", walkMs);
    PrintCount("walk_heap_peak_bytes", heapPeak);
    PrintCount("working_set_peak_before_bytes", processBefore.peakWorkingSet);
    PrintCount("working_set_peak_after_bytes", processAfter.peakWorkingSet);
    return 0;
}

// ------------------------------------------------------------------ run

std::wstring QuotedIfNeeded(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    return L"\"" + argument + L"\"";
}

int BenchRun(int argc, wchar_t** argv, int first) {
    DWORD timeoutMs = 120000;
    if (first < argc && std::wcsncmp(argv[first], L"--timeout=", 10) == 0) {
        timeoutMs = static_cast<DWORD>(std::wcstoul(argv[first] + 10, nullptr, 10));
        ++first;
    }
    if (first >= argc) return kUsage;
    std::wstring arguments;
    for (int i = first + 1; i < argc; ++i) arguments += (arguments.empty() ? L"" : L" ") + QuotedIfNeeded(argv[i]);

    const Stopwatch clock;
    const ScopedHandle process = test::StartProgram(argv[first], arguments);
    if (!process) return Fail("cannot start the program");

    // The peaks are high-water marks, so a reading every few milliseconds
    // misses at most what the last moments before the exit added.
    MemoryFigures peak;
    bool timedOut = false;
    for (;;) {
        const DWORD waited = WaitForSingleObject(process.get(), 10);
        KeepLarger(peak, ReadMemory(process.get()));
        if (waited == WAIT_OBJECT_0) break;
        if (clock.ElapsedMs() > timeoutMs) {
            timedOut = true;
            TerminateProcess(process.get(), ERROR_TIMEOUT);
            WaitForSingleObject(process.get(), 5000);
            break;
        }
    }
    const double elapsedMs = clock.ElapsedMs();
    KeepLarger(peak, ReadMemory(process.get()));
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);

    PrintCount("exit_code", exitCode);
    PrintFigure("elapsed_ms", elapsedMs);
    PrintCount("peak_working_set_bytes", peak.peakWorkingSet);
    PrintCount("peak_private_bytes", peak.peakPagefileUsage);
    if (timedOut) {
        std::fprintf(stderr, "lvm-bench: the program did not finish within %lu ms\n", timeoutMs);
        return kFailed;
    }
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: lvm-bench selfcheck FILE REPEATS\n"
                 "       lvm-bench foldersize FOLDER REPEATS\n"
                 "       lvm-bench run [--timeout=MS] PROGRAM [ARGUMENTS...]\n");
    return kUsage;
}

}  // namespace
}  // namespace lvm::bench

int wmain(int argc, wchar_t** argv) {
    using namespace lvm::bench;
    if (argc < 2) return Usage();
    const std::wstring command = argv[1];
    if (command == L"selfcheck" && argc == 4) return BenchSelfCheck(argv[2], ParseRepeats(argv[3]));
    if (command == L"foldersize" && argc == 4) return BenchFolderSize(argv[2], ParseRepeats(argv[3]));
    if (command == L"run" && argc >= 3) {
        const int status = BenchRun(argc, argv, 2);
        return status == kUsage ? Usage() : status;
    }
    return Usage();
}
