#include "sysinfo/windows_facts.h"

#include <windows.h>

#include <algorithm>

#include "common/scoped_handle.h"
#include "common/system_library.h"
#include "common/text.h"
#include "common/window_api.h"
#include "environment/registry.h"
#include "sysinfo/command_capture.h"

namespace lvm {

namespace {

// The Windows SDK marks GetVersionEx deprecated because, from 8.1 on, it
// reports no newer version than the executable's manifest declares supported.
// That is what is wanted here: the manifest declares no supported-OS list, so
// the numbers are the compatible ones (6.2 on 8.1 and later), and "ver" tells
// the real system apart.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
bool QueryVersionInfo(OSVERSIONINFOEXW& info, DWORD size) {
    info = OSVERSIONINFOEXW{};
    info.dwOSVersionInfoSize = size;
    return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != FALSE;
}
#pragma GCC diagnostic pop

// The extended record first; systems before NT 4.0 SP6 know only the short one.
bool QueryVersionRecord(TWindowsVersionRecord& record) {
    OSVERSIONINFOEXW info;
    const bool extended = QueryVersionInfo(info, sizeof(OSVERSIONINFOEXW));
    if (!extended && !QueryVersionInfo(info, sizeof(OSVERSIONINFOW))) return false;

    record.majorVersion = info.dwMajorVersion;
    record.minorVersion = info.dwMinorVersion;
    record.buildNumber = info.dwBuildNumber;
    record.platformId = info.dwPlatformId;
    const wchar_t* csd = info.szCSDVersion;
    const wchar_t* csdEnd = std::find(csd, csd + ARRAYSIZE(info.szCSDVersion), L'\0');
    record.csdVersion = Narrow(csd, static_cast<size_t>(csdEnd - csd));
    record.extended = extended;
    record.suiteMask = extended ? info.wSuiteMask : 0;
    record.productType = extended ? info.wProductType : 0;
    return true;
}

// The native architecture: under WOW64 GetSystemInfo tells this 32-bit
// process it runs on x86. GetNativeSystemInfo is looked up by name because
// systems before XP lack it; there the process's own view is the system's.
uint16_t NativeArchitecture() {
    SYSTEM_INFO info{};
    if (const auto getNative = LVM_GET_FUNCTION(GetModuleHandleW(L"kernel32.dll"), GetNativeSystemInfo)) {
        getNative(&info);
    } else {
        GetSystemInfo(&info);
    }
    return info.wProcessorArchitecture;
}

TWindowsSystemMetrics QuerySystemMetrics() {
    TWindowsSystemMetrics metrics;
    metrics.tabletPc = User32().GetSystemMetrics(SM_TABLETPC);
    metrics.mediaCenter = User32().GetSystemMetrics(SM_MEDIACENTER);
    metrics.starter = User32().GetSystemMetrics(SM_STARTER);
    metrics.serverR2 = User32().GetSystemMetrics(SM_SERVERR2);
    return metrics;
}

bool KeyOpensForQuery(const wchar_t* path, ScopedRegKey& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
        return false;
    }
    key.reset(opened);
    return true;
}

}  // namespace

std::optional<std::string> ReadProductName() {
    const std::string valueName = "ProductName";
    // A registry object of its own, with the access of the shared one on a
    // 64-bit system: a 32-bit process would otherwise read the 32-bit view.
    TRegistry registry(kRegistryAccess64);
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!registry.OpenKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", false)) {
        return std::nullopt;
    }
    if (!registry.ValueExists(valueName)) return std::nullopt;
    return registry.ReadString(valueName);
}

std::optional<std::string> ReadProductOptionsType() {
    ScopedRegKey key;
    if (!KeyOpensForQuery(L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions", key)) {
        return std::nullopt;
    }
    // Room for the 255 characters and terminator that a 256-byte ANSI buffer
    // held; a longer value fails the query (ERROR_MORE_DATA) and counts as unread.
    wchar_t buffer[256];
    DWORD type = REG_NONE;
    DWORD size = sizeof(buffer);
    if (RegQueryValueExW(key.get(), L"ProductType", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    // Stored strings need not be terminated: cut at the first NUL within the data.
    const wchar_t* end = std::find(buffer, buffer + size / sizeof(wchar_t), L'\0');
    return Narrow(buffer, static_cast<size_t>(end - buffer));
}

bool HotfixQ246009Installed() {
    ScopedRegKey key;
    return KeyOpensForQuery(
        L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009", key);
}

std::optional<TWindowsFacts> GatherWindowsFacts(bool detail) {
    TWindowsFacts facts;
    if (!QueryVersionRecord(facts.version)) return std::nullopt;
    facts.architecture = NativeArchitecture();
    if (WantsSystemMetrics(facts.version)) facts.metrics = QuerySystemMetrics();
    // The product name first: where it is read, "ver" may not be needed at all.
    if (WantsProductName(facts.version)) facts.productName = ReadProductName();
    if (WantsVersionText(facts.version, detail, facts.productName.has_value())) {
        facts.versionText = RunCommandCapture("ver");
    }
    if (WantsProductType(facts.version)) facts.productType = ReadProductOptionsType();
    if (WantsHotfixQ246009(facts.version)) facts.hotfixQ246009 = HotfixQ246009Installed();
    return facts;
}

}  // namespace lvm
