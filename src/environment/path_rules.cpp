#include "environment/path_rules.h"

#include <optional>

namespace lvm {

namespace {

// Cut after the last backslash among the characters before the final one.
std::string FolderBeforeLastCharacter(const std::string& text) {
    if (text.size() < 2) return std::string();
    const size_t slash = text.find_last_of('\\', text.size() - 2);
    return slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
}

// Whether a prefix of an unquoted command names a file, as is or, when it
// has no extension, with ".exe" added.
bool NamesExistingFile(const std::string& candidate, const std::function<bool(const std::string&)>& isExistingFile) {
    if (candidate.empty()) return false;
    const size_t nameStart = candidate.find_last_of('\\') + 1;  // 0 when there is none
    const bool hasExtension = candidate.find('.', nameStart) != std::string::npos;
    return isExistingFile(candidate) || (!hasExtension && isExistingFile(candidate + ".exe"));
}

// A folder-less candidate would make the check relative to the current folder.
bool HoldsApplication(const std::string& folder, const std::function<bool(const std::string&)>& isExistingFile,
                      const std::string& appFileName) {
    return !folder.empty() && !appFileName.empty() && isExistingFile(folder + appFileName);
}

bool IsDriveRoot(const std::wstring& path, size_t start) {
    return path.size() == start + 3 && path[start + 1] == L':' && path[start + 2] == L'\\';
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

}  // namespace

void AddTrailingBackslash(std::string& path) {
    if (!path.empty() && path.back() != '\\') path += '\\';
}

std::string UninstallCommandFolder(const std::string& command) {
    return UninstallCommandFolder(command, [](const std::string&) { return false; }, std::string());
}

std::string UninstallCommandFolder(const std::string& command,
                                   const std::function<bool(const std::string&)>& isExistingFile,
                                   const std::string& appFileName) {
    if (!command.empty() && command[0] == '"') {
        const size_t closing = command.find('"', 1);
        const size_t length = closing == std::string::npos ? std::string::npos : closing - 1;
        return FolderBeforeLastCharacter(command.substr(1, length));
    }
    // Unquoted: a candidate program is a prefix ending at a blank (or at the
    // end) that names a file, as Windows reads an unquoted command line, so
    // "C:\Program Files\L\uninst.exe /log=C:\Temp\u.log" is the program in
    // C:\Program Files\L\, not C:\Temp\. Windows also tries the name with
    // ".exe" when it has no extension. Windows runs the first candidate; the
    // installation is where the application is, which an unrelated
    // C:\Program.exe must not hide.
    // A folder that holds the application is the installation, whether or
    // not the prefix still names a file: a cleaner may have taken the
    // uninstaller and left the application.
    for (size_t end = command.find(' '); ; end = command.find(' ', end + 1)) {
        const std::string folder = FolderBeforeLastCharacter(command.substr(0, end));
        if (HoldsApplication(folder, isExistingFile, appFileName)) return folder;
        if (end == std::string::npos) break;
    }
    std::optional<std::string> firstFolder;
    for (size_t end = command.find(' '); ; end = command.find(' ', end + 1)) {
        const std::string candidate = command.substr(0, end);
        if (NamesExistingFile(candidate, isExistingFile)) {
            if (!firstFolder) firstFolder = FolderBeforeLastCharacter(candidate);
        }
        if (end == std::string::npos) break;
    }
    return firstFolder ? *firstFolder : FolderBeforeLastCharacter(command);
}

bool IsAbsoluteFolder(const std::string& path) {
    if (path.size() >= 3 && IsAsciiLetter(static_cast<wchar_t>(static_cast<unsigned char>(path[0]))) &&
        path[1] == ':' && path[2] == '\\') {
        return true;
    }
    // \\server\share\ : a server and a share, each not empty.
    if (path.size() < 2 || path[0] != '\\' || path[1] != '\\') return false;
    const size_t serverEnd = path.find('\\', 2);
    if (serverEnd == std::string::npos || serverEnd == 2) return false;
    const size_t shareEnd = path.find('\\', serverEnd + 1);
    return shareEnd != std::string::npos && shareEnd > serverEnd + 1;
}

std::string Wow6432NodePath(const std::string& key) {
    const size_t slash = key.find('\\');
    const size_t at = slash == std::string::npos ? 0 : slash + 1;
    return key.substr(0, at) + "WOW6432Node\\" + key.substr(at);
}

std::wstring ExtendedLengthPath(const std::wstring& absolutePath) {
    // "\\?\" and "\\.\" are already device paths; "\??\" is the NT form.
    if (StartsWith(absolutePath, L"\\\\?\\") || StartsWith(absolutePath, L"\\\\.\\") ||
        StartsWith(absolutePath, L"\\??\\")) {
        return absolutePath;
    }
    if (StartsWith(absolutePath, L"\\\\")) return L"\\\\?\\UNC\\" + absolutePath.substr(2);
    if (absolutePath.size() >= 3 && IsAsciiLetter(absolutePath[0]) && absolutePath[1] == L':' &&
        absolutePath[2] == L'\\') {
        return L"\\\\?\\" + absolutePath;
    }
    return absolutePath;
}

std::wstring WithoutTrailingBackslashes(std::wstring path) {
    const size_t start = StartsWith(path, L"\\\\?\\") ? 4 : 0;
    while (path.size() > start + 1 && path.back() == L'\\' && !IsDriveRoot(path, start)) {
        path.pop_back();
    }
    return path;
}

}  // namespace lvm
