// A unique scratch folder under the temporary folder, removed with all its
// contents (read-only ones too, links not followed) when the test ends. With
// a subfolder name, Path() is that subfolder of it. Paths are UTF-8.
#pragma once

#include <string>

namespace lvm::test {

class TempFolder {
public:
    explicit TempFolder(const std::string& subfolder = std::string());
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Without a trailing backslash.
    const std::string& Path() const { return path_; }
    // With one, as the installer's folders end.
    std::string Folder() const { return path_ + "\\"; }
    std::string PathOf(const std::string& relative) const { return path_ + "\\" + relative; }
    std::string operator/(const std::string& relative) const { return PathOf(relative); }

    void WriteFile(const std::string& relative, const std::string& bytes) const;
    std::string ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    void MakeFolder(const std::string& relative) const;
    void Remove(const std::string& relative) const;

private:
    std::string root_;
    std::string path_;
};

// Deletes a folder tree without following links (read-only attributes cleared).
void RemoveTree(const std::wstring& path);

}  // namespace lvm::test
