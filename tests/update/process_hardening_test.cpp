// The process hardening: what the installer's own thread keeps away, and what
// the processes it starts inherit.
#include <gtest/gtest.h>
#include <windows.h>

#include "update/process_hardening.h"

namespace lvm {
namespace {

// Windows hands a process's error mode to every process it starts (Wine does
// not, so this is looked at here rather than in a started application): the
// installer keeps critical-error boxes away from its own thread only.
TEST(ProcessErrorMode, HardeningLeavesTheModeChildrenInheritAtTheSystemDefault) {
    const UINT processBefore = SetErrorMode(0);
    const DWORD threadBefore = GetThreadErrorMode();
    HardenProcess();
    EXPECT_EQ(GetErrorMode() & (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX), 0u)
        << "a started application would run with critical-error boxes suppressed";
    EXPECT_EQ(GetThreadErrorMode() & (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX),
              static_cast<DWORD>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
    SetThreadErrorMode(threadBefore, nullptr);
    SetErrorMode(processBefore);
}

}  // namespace
}  // namespace lvm
