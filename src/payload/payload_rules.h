// The payload writer's decisions over plain texts (no Windows calls): the
// temporary name, which kinds are compared, and the older-version question.
#pragma once

#include <string>

namespace lvm {

// The destination with "~" put in front of its file name: after the last
// backslash before the final character (a trailing backslash is skipped, so a
// folder path gets "~" in front of the folder's name), or in front of the whole
// path when there is none. Only the backslash counts as a separator.
std::string TildeName(const std::string& path);

// The kinds whose installed files are compared with the new file before they
// are replaced: "exe", "pak", "3bs", "lng" and "cok" (case-sensitive).
bool HasVersionRule(const std::string& kind);

// Language support files are compared only when no "!" occurs anywhere in
// the destination path; a "!" marks a file that is replaced as it comes.
bool ComparesLngVersions(const std::string& destination);

// An executable is older when the installed one has a version string, the two
// strings differ, and the dotted comparison puts the new one below it.
bool IsExeVersionOlder(const std::string& newVersion, const std::string& installedVersion);

struct QuestionText {
    std::string text;
    std::string caption;
};

// The question asked before an older file replaces a newer installed one.
QuestionText OlderVersionQuestion(bool russian, const std::string& destination,
                                  const std::string& installedVersion, const std::string& newVersion);

}  // namespace lvm
