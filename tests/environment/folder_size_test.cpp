#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/scoped_handle.h"
#include "common/text.h"
#include "environment/folder_size.h"
#include "support/test_files.h"
#include "support/test_paths.h"

namespace lvm {
namespace {

using test::TempFolder;

// A file of `size` bytes, the folders on the way made too.
void PutFile(const TempFolder& tree, const std::wstring& relative, uint32_t size,
             DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    tree.WriteFile(Narrow(relative), std::string(size, 'x'));
    if (attributes != FILE_ATTRIBUTE_NORMAL) {
        EXPECT_TRUE(SetFileAttributesW(tree.LongPathOf(Narrow(relative)).c_str(), attributes));
    }
}

struct TreeFile {
    std::wstring path;
    uint32_t size;
    DWORD attributes;
};

struct TreeCase {
    const char* name;
    std::vector<TreeFile> files;
    std::vector<std::wstring> emptyFolders;
    int32_t kib;
};

TEST(EnvironmentFolderSize, CountsEveryFileOfTheTreeInWholeKibibytes) {
    const DWORD hidden = FILE_ATTRIBUTE_HIDDEN;
    const DWORD system = FILE_ATTRIBUTE_SYSTEM;
    const DWORD readOnly = FILE_ATTRIBUTE_READONLY;
    const DWORD normal = FILE_ATTRIBUTE_NORMAL;
    const TreeCase cases[] = {
        {"empty folder", {}, {}, 0},
        {"1023 bytes", {{L"a.bin", 1023, normal}}, {}, 0},
        {"1024 bytes", {{L"a.bin", 1024, normal}}, {}, 1},
        {"2047 bytes", {{L"a.bin", 2047, normal}}, {}, 1},
        {"1023 bytes in two files", {{L"a.bin", 1000, normal}, {L"b.bin", 23, normal}}, {}, 0},
        {"2047 bytes in two files", {{L"a.bin", 1024, normal}, {L"b.bin", 1023, normal}}, {}, 1},
        {"empty files", {{L"a.bin", 0, normal}, {L"sub\\b.bin", 0, normal}}, {}, 0},
        {"hidden, system and read-only files count",
         {{L"h.bin", 1024, hidden},
          {L"s.bin", 1024, system},
          {L"r.bin", 1024, readOnly},
          {L"all.bin", 1024, hidden | system | readOnly}},
         {},
         4},
        {"folders add nothing", {}, {L"a", L"a\\b", L"c"}, 0},
        {"a file deep down counts like one at the top",
         {{L"top.bin", 1024, normal}, {L"a\\b\\c\\d\\e\\deep.bin", 2048, normal}},
         {},
         3},
        {"names without an extension and names that begin with a dot",
         {{L"noext", 1024, normal},
          {L".dot", 1024, normal},
          {L"..twodots", 1024, normal},
          {L".folder\\x", 1024, normal}},
         {},
         4},
        {"non-ASCII names", {{L"Лингваро\\звук.pak", 4096, normal}, {L"日本\\ü.bin", 1024, normal}}, {}, 5},
    };
    for (const TreeCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder tree;
        for (const std::wstring& folder : c.emptyFolders) tree.MakeFolder(Narrow(folder));
        for (const TreeFile& file : c.files) PutFile(tree, file.path, file.size, file.attributes);
        EXPECT_EQ(FolderSizeKB(tree.Path()), c.kib);
        EXPECT_EQ(FolderSizeKB(tree.Path() + "\\"), c.kib);
    }
}

TEST(EnvironmentFolderSize, HiddenSystemAndReadOnlyFoldersAreWalked) {
    TempFolder tree;
    PutFile(tree, L"hidden\\a.bin", 1024);
    PutFile(tree, L"readonly\\b.bin", 1024);
    EXPECT_TRUE(SetFileAttributesW(tree.LongPathOf("hidden").c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_TRUE(SetFileAttributesW(tree.LongPathOf("readonly").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(FolderSizeKB(tree.Path()), 2);
}

TEST(EnvironmentFolderSize, NoFolderGivesMinusOne) {
    TempFolder tree;
    PutFile(tree, L"file.bin", 4096);
    EXPECT_EQ(FolderSizeKB(""), -1);
    EXPECT_EQ(FolderSizeKB(tree.PathOf("file.bin")), -1);
    EXPECT_EQ(FolderSizeKB(tree.PathOf("file.bin") + "\\"), -1);
    EXPECT_EQ(FolderSizeKB(tree.PathOf("missing")), -1);
    EXPECT_EQ(FolderSizeKB(tree.PathOf("missing\\")), -1);
    EXPECT_EQ(FolderSizeKB(tree.PathOf("missing\\deeper")), -1);
}

TEST(EnvironmentFolderSize, ARelativeFolderCountsFromTheCurrentFolder) {
    TempFolder tree;
    PutFile(tree, L"Lingvaro\\a.bin", 3072);
    wchar_t previous[MAX_PATH + 1];
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH + 1, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(Widen(tree.Path()).c_str()));
    const int32_t relative = FolderSizeKB("Lingvaro\\");
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(relative, 3);
}

// Hundreds of levels and a path far beyond MAX_PATH: the walk neither
// recurses nor stops where the short path form ends.
TEST(EnvironmentFolderSize, DeepTreesWithLongPathsAreCountedWhole) {
    TempFolder tree;
    std::wstring path;
    for (int level = 0; level < 300; ++level) {
        path += L"level-" + std::to_wstring(1000 + level) + L"\\";
        tree.MakeFolder(Narrow(path.substr(0, path.size() - 1)));
        if (level % 100 == 99) PutFile(tree, path + L"chunk.bin", 1024);
    }
    ASSERT_GT(tree.LongPathOf(Narrow(path)).size(), 3000u);
    EXPECT_EQ(FolderSizeKB(tree.Path()), 3);
    // The walk can also start below the MAX_PATH line.
    EXPECT_EQ(FolderSizeKB(tree.PathOf(Narrow(path))), 1);
}

// A file past 4 GiB, made sparse so that it takes no room on the disk.
TEST(EnvironmentFolderSize, SizesPastFourGibibytesAreSummedIn64Bits) {
    TempFolder tree;
    PutFile(tree, L"small.bin", 3 * 1024);
    const std::wstring big = tree.LongPathOf("big.bin");
    {
        ScopedHandle file(CreateFileW(big.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file.valid());
        DWORD returned = 0;
        if (!DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr)) {
            GTEST_SKIP() << "the temporary folder's file system has no sparse files";
        }
        LARGE_INTEGER end;
        end.QuadPart = int64_t{1} << 32;
        ASSERT_TRUE(SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file.get()));
    }
    EXPECT_EQ(FolderSizeKB(tree.Path()), 4194304 + 3);
}

// Directory links: one back to its own parent (which would make the walk
// endless) and one out of the tree (whose files are not the application's).
// A symbolic link is tried first; a junction, which needs no privilege on
// Windows, second.
bool IsFolderLink(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeSymbolicFolderLink(const std::wstring& link, const std::wstring& target) {
    const DWORD kAllowUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | kAllowUnprivileged)) {
        // Before Windows 10 the unprivileged flag is refused outright.
        CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    }
    // A call that claims success proves nothing: the link must be there.
    return IsFolderLink(link);
}

// `target` is an absolute path without the "\\?\" prefix.
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
    if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
    ScopedHandle folder(CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder) return false;
    // The mount-point reparse buffer: tag, data length, reserved, then the
    // offsets and lengths of the NT substitute name and the print name.
    const std::wstring substitute = L"\\??\\" + target;
    const size_t substituteBytes = substitute.size() * sizeof(wchar_t);
    const size_t printBytes = target.size() * sizeof(wchar_t);
    const size_t pathBytes = substituteBytes + sizeof(wchar_t) + printBytes + sizeof(wchar_t);
    std::vector<unsigned char> buffer(16 + pathBytes, 0);
    auto put16 = [&buffer](size_t at, size_t value) {
        buffer[at] = static_cast<unsigned char>(value & 0xFF);
        buffer[at + 1] = static_cast<unsigned char>(value >> 8);
    };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    memcpy(buffer.data(), &tag, sizeof(tag));
    put16(4, 8 + pathBytes);
    put16(8, 0);
    put16(10, substituteBytes);
    put16(12, substituteBytes + sizeof(wchar_t));
    put16(14, printBytes);
    memcpy(buffer.data() + 16, substitute.data(), substituteBytes);
    memcpy(buffer.data() + 16 + substituteBytes + sizeof(wchar_t), target.data(), printBytes);
    DWORD returned = 0;
    const bool set = DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, buffer.data(),
                                     static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
    folder.reset();
    if (!set) RemoveDirectoryW(link.c_str());
    return set && IsFolderLink(link);
}

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    return MakeSymbolicFolderLink(link, target) || MakeJunction(link, target);
}

TEST(EnvironmentFolderSize, FolderLinksAreNotFollowed) {
    TempFolder tree;
    TempFolder outside;
    PutFile(tree, L"app.bin", 2048);
    PutFile(tree, L"data\\sound.bin", 1024);
    PutFile(outside, L"foreign.bin", 8192);
    const bool linked = MakeFolderLink(tree.LongPathOf("data\\up"), Widen(tree.PathOf("data"))) &&
                        MakeFolderLink(tree.LongPathOf("out"), Widen(outside.Path()));
    if (!linked) GTEST_SKIP() << "directory links cannot be made here";
    EXPECT_EQ(FolderSizeKB(tree.Path()), 3);
    EXPECT_EQ(FolderSizeKB(tree.Path() + "\\"), 3);
}

// Where a Windows process cannot make links (Wine), the build makes a tree
// with links on the host side beside the test executable: a link back to an
// ancestor, one to its own parent, and one out of the tree. Only the 3000
// bytes of the one real file count.
TEST(EnvironmentFolderSize, LinksMadeByTheHostAreNotFollowed) {
    const std::wstring bin = test::TestBinDir();  // the build folder + "bin\\"
    const std::wstring build = bin.substr(0, bin.find_last_of(L'\\', bin.size() - 2));
    const std::wstring tree = build + L"\\e2e-links\\Lingvaro";
    const DWORD attributes = GetFileAttributesW((tree + L"\\Data\\up-two").c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no host-made link tree beside the tests";
    ASSERT_TRUE(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    // Lingvaro.exe and lvm0.pak may lie there while a whole-executable test runs;
    // those tests run one at a time, after the unit tests' own files are gone.
    EXPECT_EQ(FolderSizeKB(Narrow(tree)), 2);  // and no endless walk
    EXPECT_EQ(FolderSizeKB(Narrow(tree) + "\\"), 2);
}

}  // namespace
}  // namespace lvm
