#include "payload/payload_rules.h"

#include <algorithm>

#include "common/ascii.h"
#include "payload/version_rules.h"

namespace lvm {

std::string TildeName(const std::string& path) {
    // The search starts at the second-to-last character: a path that ends in
    // a backslash names a folder, and "~" goes in front of that folder's name.
    if (path.size() >= 2) {
        const size_t slash = path.find_last_of('\\', path.size() - 2);
        if (slash != std::string::npos) return path.substr(0, slash + 1) + "~" + path.substr(slash + 1);
    }
    return "~" + path;
}

std::string RestartKeptName(const std::string& destination, const std::string& runTag) {
    return TildeName(destination) + "." + runTag + ".restart";
}

std::string RestartKeptPattern(const std::string& destination) { return RestartKeptName(destination, "*"); }

bool IsRestartKeptName(const std::string& fileName, const std::string& destination) {
    const std::string tilde = TildeName(destination);
    const std::string prefix = LowerAscii(tilde.substr(tilde.find_last_of('\\') + 1) + ".");
    const std::string suffix = ".restart";
    const std::string name = LowerAscii(fileName);
    return name.size() > prefix.size() + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

uint32_t NextHeldRetryPause(uint32_t elapsedMs, uint32_t lastPauseMs) {
    if (elapsedMs >= kHeldRetryLimitMs) return 0;
    const uint32_t doubled = lastPauseMs == 0 ? kHeldRetryFirstPauseMs : lastPauseMs * 2;
    return std::min({doubled, kHeldRetryLongestPauseMs, kHeldRetryLimitMs - elapsedMs});
}

std::optional<uint32_t> RetryWhileHeld(const std::function<bool()>& stillHeld, const TRetrySeams& seams) {
    if (!stillHeld()) return std::nullopt;
    // Counted from the refusal, not from the first try: a try that succeeds
    // at once may itself take a clock tick, and that is no wait for a holder.
    const uint32_t refused = seams.now();
    uint32_t pause = 0;
    while ((pause = NextHeldRetryPause(seams.now() - refused, pause)) != 0) {
        seams.sleep(pause);
        if (!stillHeld()) break;
    }
    return seams.now() - refused;
}

std::optional<VersionProbe> VersionProbeFor(const std::string& kind) {
    struct KindProbe {
        const char* kind;
        VersionProbe probe;
    };
    static const KindProbe kKinds[] = {
        {"exe", VersionProbe::ExeFileVersion}, {"pak", VersionProbe::PakField},
        {"3bs", VersionProbe::ThreeBsField},   {"lng", VersionProbe::LngScan},
        {"cok", VersionProbe::CokField},
    };
    for (const KindProbe& row : kKinds) {
        if (kind == row.kind) return row.probe;
    }
    return std::nullopt;
}

bool HasVersionRule(const std::string& kind) { return VersionProbeFor(kind).has_value(); }

bool ComparesLngVersions(const std::string& destination) {
    return destination.find('!') == std::string::npos;
}

bool IsExeVersionOlder(const std::string& newVersion, const std::string& installedVersion) {
    return !installedVersion.empty() && newVersion != installedVersion &&
           IsOlderVersion(newVersion, installedVersion);
}

}  // namespace lvm
