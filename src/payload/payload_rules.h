// The payload writer's decisions over plain texts (no Windows calls): the
// temporary name and the name kept for a restart, which kinds are compared,
// the older-version question, and how long a held file is tried again.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace lvm {

// The destination with "~" put in front of its file name: after the last
// backslash before the final character (a trailing backslash is skipped, so a
// folder path gets "~" in front of the folder's name), or in front of the whole
// path when there is none. Only the backslash counts as a separator.
std::string TildeName(const std::string& path);

// The name a new file is kept under until the next restart, when the
// destination stays held: the temporary name followed by "." + runTag +
// ".restart". Every run clears the temporary name as its own leftover; this
// one is no run's leftover, and the tag makes it this run's own.
std::string RestartKeptName(const std::string& destination, const std::string& runTag);
// The names kept for a restart beside the destination by any run, as a
// pattern of the file system's search.
std::string RestartKeptPattern(const std::string& destination);
// Whether a file name that the search for RestartKeptPattern() found is such
// a name: the search also matches the short (8.3) names that a file system
// may keep beside the long ones. Letter case aside, as the file system does.
bool IsRestartKeptName(const std::string& fileName, const std::string& destination);

// A replace that another program blocks is tried again at once, then after
// pauses that double from 100 ms up to 1 s each, for 3 s in all: scanners and
// indexers let go within moments.
constexpr uint32_t kHeldRetryFirstPauseMs = 100;
constexpr uint32_t kHeldRetryLongestPauseMs = 1000;
constexpr uint32_t kHeldRetryLimitMs = 3000;

// The pause before the next try, `elapsedMs` after the first try and after a
// pause of `lastPauseMs` (0: none yet); 0 when the time is up.
uint32_t NextHeldRetryPause(uint32_t elapsedMs, uint32_t lastPauseMs);

struct TRetrySeams {
    std::function<void(uint32_t milliseconds)> sleep;
    // A millisecond clock; only differences are used, so it may wrap.
    std::function<uint32_t()> now;
};

// Tries at once and again after each pause while `stillHeld` says so.
// Returns the milliseconds from the end of the first try that found the file
// held to the end of the last try; nullopt when the first try found it free.
std::optional<uint32_t> RetryWhileHeld(const std::function<bool()>& stillHeld, const TRetrySeams& seams);

// How the version of a file of each kind is read.
enum class VersionProbe {
    ExeFileVersion,  // the file version of an executable, compared dotted
    PakField,        // the version field of a package header
    ThreeBsField,
    CokField,
    LngScan,         // the version line of a language support file
};

// The kinds whose installed files are compared with the new file before they
// are replaced, with their probes: "exe", "pak", "3bs", "lng" and "cok"
// (case-sensitive); nullopt for every other kind.
std::optional<VersionProbe> VersionProbeFor(const std::string& kind);
bool HasVersionRule(const std::string& kind);

// Language support files are compared only when no "!" occurs anywhere in
// the destination path; a "!" marks a file that is replaced as it comes.
bool ComparesLngVersions(const std::string& destination);

// An executable is older when the installed one has a version string, the two
// strings differ, and the dotted comparison puts the new one below it.
bool IsExeVersionOlder(const std::string& newVersion, const std::string& installedVersion);

}  // namespace lvm
