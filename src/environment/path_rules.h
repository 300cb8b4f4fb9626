// Path rules of the install environment, kept apart from Windows so that they
// can be built and exercised anywhere: the folder of an uninstall command, the
// 32-bit registry view's path, and the forms a path takes at the file API.
#pragma once

#include <functional>
#include <string>

namespace lvm {

// Appends "\" to a non-empty path that does not end in one; an empty path
// stays empty.
void AddTrailingBackslash(std::string& path);

// The folder of an uninstall command: the text up to and including the last
// backslash before its final character (the final character itself is never
// looked at, so "C:\Apps\Lingvaro\" gives "C:\Apps\"). Empty when there is no
// such backslash. A command that begins with a double quote is the quoted form
// installers usually write ("C:\Program Files\Lingvaro\uninst.exe" /S): the
// rule then applies to the text inside the quotes (or to the rest of the value
// when the closing quote is missing), so the quote never ends up in the folder.
//
// An unquoted command: of the prefixes ending at a blank (or at the end), the
// first whose folder holds appFileName gives the installation, whether the
// prefix still names a file or not (an uninstaller removed by a cleaner), so
// that a stray "C:\Program.exe" does not hide "C:\Program Files\Lingvaro\".
// Where no such folder holds it, the command is read as Windows reads an
// unquoted command line: the first prefix that names an existing file (or
// does with ".exe" added, when it has no extension) is the program, and the
// rule applies to that prefix; when no prefix names a file, to the whole text.
std::string UninstallCommandFolder(const std::string& command,
                                   const std::function<bool(const std::string&)>& isExistingFile,
                                   const std::string& appFileName);
// The same with no file existing (the whole unquoted text is the command).
std::string UninstallCommandFolder(const std::string& command);

// Whether a folder is absolute: a drive letter, a colon and a backslash, or
// "\\server\share\" with a server and a share. A relative folder would be
// taken from the current folder, wherever the installer was started.
bool IsAbsoluteFolder(const std::string& path);

// The same key in the 32-bit registry view: "WOW6432Node\" put in after the
// first backslash ("Software\X\" becomes "Software\WOW6432Node\X\"). A path
// without a backslash gets it in front.
std::string Wow6432NodePath(const std::string& key);

// An absolute path in the form that lifts the MAX_PATH limit of the file API:
// "C:\x" becomes "\\?\C:\x", "\\server\share" becomes "\\?\UNC\server\share".
// Paths that already carry a device prefix, and paths that are not absolute,
// are returned unchanged. The caller must have made the path absolute and
// normalised first: the prefix switches off every later normalisation.
std::wstring ExtendedLengthPath(const std::wstring& absolutePath);

// The path without trailing backslashes, except that a drive root ("C:\",
// "\\?\C:\") keeps its one backslash: without it the name means the drive's
// current folder or the volume device, not its root.
std::wstring WithoutTrailingBackslashes(std::wstring path);

}  // namespace lvm
