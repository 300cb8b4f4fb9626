#include "bench_support.h"

#include <psapi.h>

#include <algorithm>

namespace lvm::bench {

Stopwatch::Stopwatch() { QueryPerformanceCounter(&start_); }

double Stopwatch::ElapsedMs() const {
    LARGE_INTEGER now{};
    LARGE_INTEGER frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start_.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    if (values.size() % 2 != 0) return values[middle];
    return (values[middle - 1] + values[middle]) / 2.0;
}

MemoryFigures ReadMemory(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    MemoryFigures figures;
    if (!K32GetProcessMemoryInfo(process, &counters, sizeof(counters))) return figures;
    figures.read = true;
    figures.peakWorkingSet = counters.PeakWorkingSetSize;
    figures.workingSet = counters.WorkingSetSize;
    figures.pagefileUsage = counters.PagefileUsage;
    figures.peakPagefileUsage = counters.PeakPagefileUsage;
    return figures;
}

void KeepLarger(MemoryFigures& kept, const MemoryFigures& now) {
    if (!now.read) return;
    kept.read = true;
    kept.peakWorkingSet = std::max({kept.peakWorkingSet, now.peakWorkingSet, now.workingSet});
    kept.workingSet = std::max(kept.workingSet, now.workingSet);
    kept.pagefileUsage = std::max(kept.pagefileUsage, now.pagefileUsage);
    kept.peakPagefileUsage = std::max({kept.peakPagefileUsage, now.peakPagefileUsage, now.pagefileUsage});
}

}  // namespace lvm::bench
