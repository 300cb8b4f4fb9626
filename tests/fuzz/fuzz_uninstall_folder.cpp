// The install environment's path rules over registry values that any program
// (or user) may have written: the folder of an "UninstallString", the trailing
// backslash, the 32-bit view's key, and the forms a path takes at the file API.
#include <cstdint>
#include <cctype>
#include <string>
#include <vector>

#include "environment/path_rules.h"
#include "fuzz_check.h"

namespace {

using lvm::fuzz::PickText;
using lvm::fuzz::StartsWith;

// The rule itself: the text up to the last backslash before the final
// character, checked as properties rather than rebuilt.
void CheckFolderOf(const std::string& text, const std::string& folder) {
    FUZZ_CHECK(StartsWith(text, folder));
    if (folder.empty()) {
        for (size_t i = 0; i + 1 < text.size(); ++i) FUZZ_CHECK(text[i] != '\\');
        return;
    }
    FUZZ_CHECK(folder.back() == '\\');
    FUZZ_CHECK(folder.size() < text.size());  // the final character is never taken
    for (size_t i = folder.size(); i + 1 < text.size(); ++i) FUZZ_CHECK(text[i] != '\\');
}

void CheckUninstallFolder(const std::string& command) {
    const std::string folder = lvm::UninstallCommandFolder(command);
    FUZZ_CHECK(lvm::UninstallCommandFolder(command) == folder);
    if (command.empty() || command[0] != '"') {
        CheckFolderOf(command, folder);
        return;
    }
    // The quoted form: the rule applies inside the quotes, or to the rest of
    // the value when the closing one is missing; a quote never reaches the folder.
    const size_t closing = command.find('"', 1);
    const std::string inside =
        command.substr(1, closing == std::string::npos ? std::string::npos : closing - 1);
    CheckFolderOf(inside, folder);
    FUZZ_CHECK(folder.find('"') == std::string::npos);
}

// Unquoted values against a set of existing files (each name exists or not
// by one bit of the mask, picked by the name): a candidate is a prefix ending
// at a blank (or the end) that names a file, as is or with ".exe" added to a
// name without extension. The folder is that of the first candidate whose
// folder holds Lingvaro.exe, else that of the first candidate, else that of
// the whole value.
void CheckResolvedFolder(const std::string& command, uint64_t existingMask) {
    const auto exists = [&](const std::string& path) {
        uint32_t hash = 2166136261u;  // FNV-1a: the same name always gets the same answer
        for (char c : path) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        return ((existingMask >> (hash % 64)) & 1) != 0;
    };
    const std::string folder = lvm::UninstallCommandFolder(command, exists, "Lingvaro.exe");
    if (!command.empty() && command[0] == '"') {
        FUZZ_CHECK(folder == lvm::UninstallCommandFolder(command));
        return;
    }
    std::vector<std::string> candidates;
    for (size_t end = command.find(' ');; end = command.find(' ', end + 1)) {
        const std::string prefix = command.substr(0, end);
        const size_t name = prefix.find_last_of('\\') + 1;
        if (!prefix.empty() && (exists(prefix) || (prefix.find('.', name) == std::string::npos &&
                                                    exists(prefix + ".exe")))) {
            candidates.push_back(prefix);
        }
        if (end == std::string::npos) break;
    }
    FUZZ_CHECK(command.compare(0, folder.size(), folder) == 0);
    if (candidates.empty()) {
        CheckFolderOf(command, folder);
        return;
    }
    std::string program = candidates.front();
    for (const std::string& candidate : candidates) {
        const std::string candidateFolder = lvm::UninstallCommandFolder(candidate);
        if (!candidateFolder.empty() && exists(candidateFolder + "Lingvaro.exe")) {
            program = candidate;
            break;
        }
    }
    CheckFolderOf(program, folder);
}

void CheckAbsoluteFolder(const std::string& path) {
    const bool absolute = lvm::IsAbsoluteFolder(path);
    const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                       path[2] == '\\';
    bool share = false;
    if (path.compare(0, 2, "\\\\") == 0) {
        const size_t server = path.find('\\', 2);
        share = server != std::string::npos && server > 2 && path.find('\\', server + 1) != std::string::npos &&
                path.find('\\', server + 1) > server + 1;
    }
    FUZZ_CHECK(absolute == (drive || share));
}

void CheckTrailingBackslash(const std::string& path) {
    std::string once = path;
    lvm::AddTrailingBackslash(once);
    if (path.empty()) {
        FUZZ_CHECK(once.empty());
        return;
    }
    FUZZ_CHECK(once == path || once == path + "\\");
    FUZZ_CHECK(once.back() == '\\');
    std::string twice = once;
    lvm::AddTrailingBackslash(twice);
    FUZZ_CHECK(twice == once);
}

void CheckWowPath(const std::string& key) {
    const std::string inserted = "WOW6432Node\\";
    const std::string wow = lvm::Wow6432NodePath(key);
    const size_t slash = key.find('\\');
    const size_t at = slash == std::string::npos ? 0 : slash + 1;
    FUZZ_CHECK(wow.size() == key.size() + inserted.size());
    FUZZ_CHECK(wow.compare(0, at, key, 0, at) == 0);
    FUZZ_CHECK(wow.compare(at, inserted.size(), inserted) == 0);
    FUZZ_CHECK(wow.compare(at + inserted.size(), std::string::npos, key, at, std::string::npos) == 0);
}

std::wstring Wide(const std::string& text, FuzzedDataProvider& data) {
    std::wstring wide;
    for (char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    // Now and then a character beyond Latin-1, as real folder names have.
    if (!wide.empty() && data.ConsumeBool()) wide[wide.size() / 2] = L'\x0416';
    return wide;
}

bool IsDriveRootAt(const std::wstring& path, size_t start) {
    return path.size() == start + 3 && path[start + 1] == L':' && path[start + 2] == L'\\';
}

void CheckFileApiForms(const std::wstring& path) {
    const std::wstring extended = lvm::ExtendedLengthPath(path);
    // Either unchanged or one of the two prefixes put in; a second pass never
    // adds another, or the file API would get "\\?\\\?\..." and fail.
    FUZZ_CHECK(extended == path || extended == L"\\\\?\\" + path ||
               (path.compare(0, 2, L"\\\\") == 0 && extended == L"\\\\?\\UNC\\" + path.substr(2)));
    FUZZ_CHECK(lvm::ExtendedLengthPath(extended) == extended);

    const std::wstring trimmed = lvm::WithoutTrailingBackslashes(path);
    FUZZ_CHECK(path.compare(0, trimmed.size(), trimmed) == 0);
    for (size_t i = trimmed.size(); i < path.size(); ++i) FUZZ_CHECK(path[i] == L'\\');
    FUZZ_CHECK(lvm::WithoutTrailingBackslashes(trimmed) == trimmed);
    // What is left ends in a backslash only where that backslash is needed:
    // a drive root, or the single character after any device prefix.
    if (!trimmed.empty() && trimmed.back() == L'\\') {
        const size_t start = trimmed.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
        FUZZ_CHECK(trimmed.size() <= start + 1 || IsDriveRootAt(trimmed, start));
    }
    // Nothing but trailing backslashes ever goes: an empty path stays empty.
    FUZZ_CHECK(trimmed.empty() == path.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const char* alphabet = "\\\\\\\"\" /:?.\xd0\x96";
    const std::string value = PickText(data, alphabet, 64);
    CheckUninstallFolder(value);
    CheckResolvedFolder(value, data.ConsumeIntegral<uint64_t>());
    CheckAbsoluteFolder(value);
    CheckTrailingBackslash(value);
    CheckTrailingBackslash(lvm::UninstallCommandFolder(value));
    CheckWowPath(PickText(data, "\\\\ab", 32));
    CheckFileApiForms(Wide(PickText(data, "\\\\\\\\?.:CUNzx", 32), data));
    return 0;
}
