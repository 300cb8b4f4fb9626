#include "handoff/held_package.h"

#include <windows.h>
#include <restartmanager.h>

#include "common/scoped_handle.h"
#include "common/system_library.h"
#include "common/text.h"

namespace lvm {

namespace {

// rstrtmgr.dll for one call: a type, made and freed inside each operation below.
struct RestartManagerFunctions {
    ScopedModule module{LoadSystemLibrary(L"rstrtmgr.dll")};
    LVM_SDK_FUNCTION_TYPE(RmStartSession) startSession = LVM_GET_FUNCTION(module.get(), RmStartSession);
    LVM_SDK_FUNCTION_TYPE(RmEndSession) endSession = LVM_GET_FUNCTION(module.get(), RmEndSession);
    LVM_SDK_FUNCTION_TYPE(RmRegisterResources) registerResources =
        LVM_GET_FUNCTION(module.get(), RmRegisterResources);
    LVM_SDK_FUNCTION_TYPE(RmGetList) getList = LVM_GET_FUNCTION(module.get(), RmGetList);
    LVM_SDK_FUNCTION_TYPE(RmShutdown) shutdown = LVM_GET_FUNCTION(module.get(), RmShutdown);

    bool Available() const { return startSession && endSession && registerResources && getList && shutdown; }
};

// A Restart Manager session, ended however the scope is left; lives inside one call.
class RmSession {
public:
    explicit RmSession(const RestartManagerFunctions& api) : api_(api) {
        WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
        started_ = api_.startSession(&handle_, 0, key) == ERROR_SUCCESS;
    }
    ~RmSession() {
        if (started_) api_.endSession(handle_);
    }
    RmSession(const RmSession&) = delete;
    RmSession& operator=(const RmSession&) = delete;

    bool Started() const { return started_; }
    DWORD Handle() const { return handle_; }

private:
    const RestartManagerFunctions& api_;
    DWORD handle_ = 0;
    bool started_ = false;
};

std::string ExecutablePathOf(uint32_t processId) {
    const ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return std::string();
    return Narrow(QueryWideString([&process](wchar_t* buffer, DWORD size) {
        DWORD length = size;
        return QueryFullProcessImageNameW(process.get(), 0, buffer, &length) ? length : 0;
    }));
}

std::optional<std::vector<TFileHolder>> SystemHoldersOf(const std::string& file) {
    const RestartManagerFunctions api;
    if (!api.Available()) return std::nullopt;
    const RmSession session(api);
    if (!session.Started()) return std::nullopt;
    const std::wstring wide = Widen(file);
    LPCWSTR files[] = {wide.c_str()};
    if (api.registerResources(session.Handle(), 1, files, 0, nullptr, 0, nullptr) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<RM_PROCESS_INFO> infos(4);
    for (;;) {
        UINT needed = 0;
        UINT count = static_cast<UINT>(infos.size());
        DWORD reasons = 0;
        const DWORD status = api.getList(session.Handle(), &needed, &count, infos.data(), &reasons);
        if (status == ERROR_MORE_DATA) {
            infos.resize(needed + 4);  // the list may grow between the two calls
            continue;
        }
        if (status != ERROR_SUCCESS) return std::nullopt;
        std::vector<TFileHolder> holders;
        for (UINT i = 0; i < count; ++i) {
            TFileHolder holder;
            holder.processId = infos[i].Process.dwProcessId;
            holder.startTime = FiletimeNumber(infos[i].Process.ProcessStartTime);
            holder.exePath = ExecutablePathOf(holder.processId);
            holder.appName = Narrow(infos[i].strAppName);
            holders.push_back(holder);
        }
        return holders;
    }
}

bool SystemAskToClose(const std::vector<TFileHolder>& processes) {
    const RestartManagerFunctions api;
    if (!api.Available() || processes.empty()) return false;
    // A session of its own that names only these processes: RmShutdown then
    // asks them and nobody else.
    const RmSession session(api);
    if (!session.Started()) return false;
    std::vector<RM_UNIQUE_PROCESS> unique;
    for (const TFileHolder& holder : processes) {
        RM_UNIQUE_PROCESS process{};
        process.dwProcessId = holder.processId;
        process.ProcessStartTime.dwLowDateTime = static_cast<DWORD>(holder.startTime);
        process.ProcessStartTime.dwHighDateTime = static_cast<DWORD>(holder.startTime >> 32);
        unique.push_back(process);
    }
    if (api.registerResources(session.Handle(), 0, nullptr, static_cast<UINT>(unique.size()), unique.data(), 0,
                              nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return api.shutdown(session.Handle(), 0, nullptr) == ERROR_SUCCESS;  // 0: never forced
}

}  // namespace

TRestartManagerSeams SystemRestartManagerSeams() { return {SystemHoldersOf, SystemAskToClose}; }

uint64_t FiletimeNumber(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::string HolderName(const TFileHolder& holder) {
    if (!holder.appName.empty()) return holder.appName;
    if (!holder.exePath.empty()) return holder.exePath.substr(holder.exePath.find_last_of('\\') + 1);
    return "process " + std::to_string(holder.processId);
}

HeldAnswer AnswerWhenPackageHeld(const TRestartManagerSeams& restartManager, const TMessenger& messages,
                                 const std::string& package) {
    const std::vector<TFileHolder> holders = restartManager.holdersOf(package).value_or(std::vector<TFileHolder>());
    std::vector<std::string> names;
    std::string named;
    for (const TFileHolder& holder : holders) {
        names.push_back(HolderName(holder));
        named += (named.empty() ? "" : ", ") + names.back() + " (process id " + std::to_string(holder.processId) + ")";
    }
    messages.Log(named.empty() ? "held by: another program (the Restart Manager names nobody)" : "held by: " + named);
    return messages.AskWhenHeld(package, names);
}

}  // namespace lvm
