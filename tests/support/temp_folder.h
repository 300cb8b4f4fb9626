// A unique scratch folder under the temporary folder, removed with all its
// contents when the test ends. Paths are UTF-8.
#pragma once

#include <string>

namespace lvm::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Without a trailing backslash.
    const std::string& Path() const { return path_; }
    std::string PathOf(const std::string& relative) const { return path_ + "\\" + relative; }

    void WriteFile(const std::string& relative, const std::string& bytes) const;
    std::string ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    void MakeFolder(const std::string& relative) const;
    void Remove(const std::string& relative) const;

private:
    std::string path_;
};

// Deletes a folder tree without following links (read-only attributes cleared).
void RemoveTree(const std::wstring& path);

}  // namespace lvm::test
