// The payload writer's decisions over plain texts (no Windows calls): the
// temporary name, which kinds are compared, and the older-version question.
#pragma once

#include <optional>
#include <string>

namespace lvm {

// The destination with "~" put in front of its file name: after the last
// backslash before the final character (a trailing backslash is skipped, so a
// folder path gets "~" in front of the folder's name), or in front of the whole
// path when there is none. Only the backslash counts as a separator.
std::string TildeName(const std::string& path);

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
