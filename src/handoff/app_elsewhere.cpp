#include "handoff/app_elsewhere.h"

#include <windows.h>

#include "common/text.h"

namespace lvm {

namespace {

bool SamePath(const std::string& a, const std::string& b) {
    const std::wstring wa = Widen(a);
    const std::wstring wb = Widen(b);
    return CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(), static_cast<int>(wb.size()),
                                TRUE) == CSTR_EQUAL;
}

// The process, opened for waiting, when it is still the one the holder names.
ScopedHandle OpenForWaiting(const TFileHolder& holder) {
    ScopedHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, holder.processId));
    if (!process) return ScopedHandle();
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) return ScopedHandle();
    if (FiletimeNumber(created) != holder.startTime) return ScopedHandle();
    return process;
}

}  // namespace

std::vector<TFileHolder> ApplicationHolders(const std::vector<TFileHolder>& holders, const std::string& appExe) {
    std::vector<TFileHolder> application;
    for (const TFileHolder& holder : holders) {
        if (!holder.exePath.empty() && SamePath(holder.exePath, appExe)) application.push_back(holder);
    }
    return application;
}

std::vector<ScopedHandle> AskApplicationElsewhereToClose(const TRestartManagerSeams& restartManager, const std::string& package,
                                                         const std::string& appExe) {
    std::vector<ScopedHandle> opened;
    const std::optional<std::vector<TFileHolder>> holders = restartManager.holdersOf(package);
    if (!holders) return opened;
    const std::vector<TFileHolder> application = ApplicationHolders(*holders, appExe);
    if (application.empty()) return opened;
    // Opened before they are asked, so that their ids cannot be reused meanwhile.
    for (const TFileHolder& holder : application) {
        if (ScopedHandle process = OpenForWaiting(holder)) opened.push_back(std::move(process));
    }
    restartManager.askToClose(application);
    return opened;
}

}  // namespace lvm
