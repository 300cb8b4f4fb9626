// Files for the tests: whole-file reads and writes, and the one scratch
// folder, removed with all it holds (read-only files too, links not followed)
// when the test ends. Paths are UTF-8; a path in the \\?\ form may be longer
// than MAX_PATH.
#pragma once

#include <optional>
#include <string>

namespace lvm::test {

// The whole file; nullopt when there is none to read. Others may hold it open.
std::optional<std::string> ReadFileBytes(const std::string& path);
// Creates or replaces the file; false when it cannot be written whole.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);
void SetReadOnly(const std::string& path, bool readOnly);
// Deletes a folder tree without following links (read-only attributes cleared).
void RemoveTree(const std::wstring& path);

class TempFolder {
public:
    // A new folder under the temporary folder; with a subfolder name, Path()
    // is that subfolder of it.
    explicit TempFolder(const std::string& subfolder = std::string());
    // The folder at a chosen place, emptied first: for runs whose paths must
    // be the same every time.
    struct At {
        std::string path;
    };
    explicit TempFolder(const At& place);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Without a trailing backslash.
    const std::string& Path() const { return path_; }
    // With one, as the installer's folders end.
    std::string Folder() const { return path_ + "\\"; }
    std::string PathOf(const std::string& relative) const { return path_ + "\\" + relative; }
    std::string operator/(const std::string& relative) const { return PathOf(relative); }
    // The \\?\ form, which the file API takes beyond MAX_PATH.
    std::wstring LongPathOf(const std::string& relative) const;

    // Creates the folders on the way too; paths may be longer than MAX_PATH.
    void WriteFile(const std::string& relative, const std::string& bytes) const;
    std::string ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    void MakeFolder(const std::string& relative) const;
    void Remove(const std::string& relative) const;

private:
    std::string root_;
    std::string path_;
};

}  // namespace lvm::test
