// Clocks and memory readings for the bench program.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

namespace lvm::bench {

// Wall-clock time from construction, from the performance counter.
class Stopwatch {
public:
    Stopwatch();
    double ElapsedMs() const;

private:
    LARGE_INTEGER start_{};
};

// The middle value (the mean of the two middle ones for an even count); 0 for none.
double Median(std::vector<double> values);

struct MemoryFigures {
    bool read = false;
    size_t peakWorkingSet = 0;
    size_t workingSet = 0;
    size_t pagefileUsage = 0;      // private, committed bytes
    size_t peakPagefileUsage = 0;
};

// The counters of GetProcessMemoryInfo (through kernel32's K32 export, so the
// program needs no psapi.dll import). `read` is false when they are not available.
MemoryFigures ReadMemory(HANDLE process);

// Keeps the larger of each figure. A process is read repeatedly while it runs
// because Wine has nothing left to report once it has exited, while Windows
// keeps the peaks until the last handle is closed.
void KeepLarger(MemoryFigures& kept, const MemoryFigures& now);

}  // namespace lvm::bench
