#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "environment/environment.h"
#include "environment/registry.h"
#include "lang/user_interface.h"
#include "support/registry_override.h"
#include "support/scripted_ui.h"
#include "update/package_config.h"

namespace lvm {
namespace {

using test::RegistryOverride;

const std::string kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
const std::string kShellFolders = kCurrentVersion + "\\Explorer\\Shell Folders";
const std::string kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kPlainEntry = kUninstall + "Lingvaro";
const std::string kWowEntry =
    "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lingvaro";

class EnvironmentDiscovery : public testing::Test {
protected:
    // The files the row's machine has, in place of the file system.
    static bool Discover(test::TestRun& t, const std::vector<std::string>& files = {}) {
        const auto exists = [&files](const std::string& path) {
            for (const std::string& file : files) {
                if (file == path) return true;
            }
            return false;
        };
        return DiscoverEnvironment(t.run.SharedRegistry, t.facts.Seams(), t.Messenger(),
                                   t.run.PackageConfig.ProductShortName, t.run.PackageConfig.ApplicationExecutable,
                                   t.run.Environment, exists);
    }
    bool Discover(const std::vector<std::string>& files = {}) { return Discover(t_, files); }

    // The current user's shell folders as Windows leaves them.
    static void MakeUserProfile() {
        RegistryOverride::SetString(HKEY_CURRENT_USER, kShellFolders, "Programs",
                                    "C:\\Users\\u\\Start Menu\\Programs");
        RegistryOverride::SetString(HKEY_CURRENT_USER, kShellFolders, "Desktop", "C:\\Users\\u\\Desktop");
        RegistryOverride::SetString(HKEY_CURRENT_USER, kShellFolders, "Startup", "C:\\Users\\u\\Startup");
    }

    static void SetMachineString(const std::string& key, const std::string& name,
                                 const std::optional<std::string>& value) {
        if (value) RegistryOverride::SetString(HKEY_LOCAL_MACHINE, key, name, *value);
    }

    // Registry overrides do not nest: each test (or table row) makes its own.
    test::TestRun t_;
};

struct Layout {
    const char* name;
    std::optional<std::string> programFilesDir;
    std::optional<std::string> plainCommand;  // "UninstallString" of the plain entry
    std::optional<std::string> wowCommand;    // ... and of the 32-bit view's entry
    std::string installDir;
    std::string sizeEntry;
    bool plainKeyWithoutCommand;  // the plain entry's key exists, holding other values only
    std::vector<std::string> files;  // what the machine holds
};

TEST_F(EnvironmentDiscovery, FindsTheInstallationInEveryRegistryLayout) {
    const std::string longFolder = "C:\\" + std::string(40000, 'a') + "\\";
    const std::string pf = "C:\\Program Files\\Lingvaro\\";
    const std::string px = "C:\\Program Files (x86)\\Lingvaro\\";
    const Layout layouts[] = {
        {"plain entry found, neither folder holds the application: the plain one stays", "C:\\Program Files",
         "C:\\Program Files\\Lingvaro\\uninst.exe", "D:\\Elsewhere\\uninst.exe",
         "C:\\Program Files\\Lingvaro\\", kPlainEntry, false, {}},
        {"entry only in the 32-bit view", "C:\\Program Files", std::nullopt,
         "C:\\Program Files (x86)\\Lingvaro\\uninst.exe", "C:\\Program Files (x86)\\Lingvaro\\", kWowEntry,
         false, {}},
        {"no entry: ProgramFilesDir without a backslash", "C:\\Program Files", std::nullopt, std::nullopt,
         "C:\\Program Files\\Lingvaro\\", kPlainEntry, false, {}},
        {"no entry: ProgramFilesDir with a backslash", "D:\\Apps\\", std::nullopt, std::nullopt,
         "D:\\Apps\\Lingvaro\\", kPlainEntry, false, {}},
        {"no entry and no ProgramFilesDir", std::nullopt, std::nullopt, std::nullopt, "Lingvaro\\",
         kPlainEntry, false, {}},
        {"quoted command with arguments", "C:\\Program Files",
         "\"C:\\Program Files\\Lingvaro\\uninst.exe\" /S", std::nullopt, "C:\\Program Files\\Lingvaro\\",
         kPlainEntry, false, {}},
        {"quoted command only in the 32-bit view", "C:\\Program Files", std::nullopt,
         "\"C:\\Program Files (x86)\\Lingvaro\\uninst.exe\"", "C:\\Program Files (x86)\\Lingvaro\\",
         kWowEntry, false, {}},
        {"command ending in a backslash gives the parent", "C:\\Program Files", "C:\\Apps\\Lingvaro\\",
         std::nullopt, "C:\\Apps\\", kPlainEntry, false, {}},
        {"plain command naming no folder: the 32-bit view is searched", "C:\\Program Files", "uninst.exe",
         "C:\\Lingvaro32\\uninst.exe", "C:\\Lingvaro32\\", kWowEntry, false, {}},
        {"command naming no folder in either view leaves the folder empty", "C:\\Program Files", "",
         std::nullopt, "", kPlainEntry, false, {}},
        {"plain entry without a command", "C:\\Program Files", std::nullopt, std::nullopt,
         "C:\\Program Files\\Lingvaro\\", kPlainEntry, true, {}},
        {"non-ASCII folder", "C:\\Program Files", "C:\\Программы\\Лингваро\\uninst.exe", std::nullopt,
         "C:\\Программы\\Лингваро\\", kPlainEntry, false, {}},
        {"command of forty thousand characters", "C:\\Program Files", "\"" + longFolder + "uninst.exe\" /S",
         std::nullopt, longFolder, kPlainEntry, false, {}},
        // A stale plain entry (a copy removed badly) gives way only to a
        // 32-bit entry whose folder holds the application.
        {"stale plain entry, its folder without the application, no 32-bit entry", "C:\\Program Files",
         pf + "uninst.exe", std::nullopt, pf, kPlainEntry, false, {pf + "uninst.exe"}},
        {"stale plain entry, no folder; 32-bit entry stale too", "C:\\Program Files", pf + "uninst.exe",
         px + "uninst.exe", pf, kPlainEntry, false, {}},
        {"stale plain entry with a good 32-bit entry", "C:\\Program Files", pf + "uninst.exe", px + "uninst.exe",
         px, kWowEntry, false, {px + "Lingvaro.exe"}},
        {"both entries good: the plain one wins", "C:\\Program Files", pf + "uninst.exe", px + "uninst.exe", pf,
         kPlainEntry, false, {pf + "Lingvaro.exe", px + "Lingvaro.exe"}},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        RegistryOverride scratch;  // each layout starts from empty hives
        MakeUserProfile();
        SetMachineString(kCurrentVersion, "ProgramFilesDir", layout.programFilesDir);
        SetMachineString(kPlainEntry, "UninstallString", layout.plainCommand);
        SetMachineString(kWowEntry, "UninstallString", layout.wowCommand);
        // An entry key that exists without a command counts as no entry.
        if (layout.plainKeyWithoutCommand)
            RegistryOverride::SetString(HKEY_LOCAL_MACHINE, kPlainEntry, "DisplayName", "Lingvaro");
        t_.run.Environment = TEnvironmentRecord();

        ASSERT_TRUE(Discover(layout.files));
        EXPECT_EQ(t_.run.Environment.InstallDir, layout.installDir);
        EXPECT_EQ(t_.run.Environment.SizeEntryKey, layout.sizeEntry);
        EXPECT_EQ(t_.run.Environment.UninstallKey, kUninstall);
        EXPECT_TRUE(t_.run.Environment.IsAdmin);
        EXPECT_FALSE(t_.run.SharedRegistry.HasOpenKey());
        // Discovery only reads: the 32-bit view's entry is never created.
        EXPECT_EQ(RegistryOverride::KeyExists(HKEY_LOCAL_MACHINE, kWowEntry), layout.wowCommand.has_value());
    }
    EXPECT_TRUE(t_.ui.Shown().empty());
}

// Where the plain entry's folder holds the application the 32-bit view is
// not opened: its wrong-typed value would raise an error if it were read.
TEST_F(EnvironmentDiscovery, AGoodPlainEntryLeavesThe32BitViewUnread) {
    RegistryOverride scratch;
    MakeUserProfile();
    RegistryOverride::SetString(HKEY_LOCAL_MACHINE, kPlainEntry, "UninstallString", "C:\\L\\uninst.exe");
    RegistryOverride::SetDword(HKEY_LOCAL_MACHINE, kWowEntry, "UninstallString", 7);
    ASSERT_TRUE(Discover({"C:\\L\\Lingvaro.exe"}));
    EXPECT_EQ(t_.run.Environment.InstallDir, "C:\\L\\");
    EXPECT_EQ(t_.run.Environment.SizeEntryKey, kPlainEntry);
}

TEST_F(EnvironmentDiscovery, ANonAdministratorIsRecordedAndDiscoveryStillSucceeds) {
    t_.facts.admin = false;
    RegistryOverride scratch;
    MakeUserProfile();
    RegistryOverride::SetString(HKEY_LOCAL_MACHINE, kPlainEntry, "UninstallString", "C:\\L\\uninst.exe");
    ASSERT_TRUE(Discover());
    EXPECT_FALSE(t_.run.Environment.IsAdmin);
    EXPECT_EQ(t_.run.Environment.InstallDir, "C:\\L\\");
    EXPECT_TRUE(t_.ui.Shown().empty());
}

struct BadShellFolder {
    const char* value;
    DWORD type;
    bool russian;
};

TEST_F(EnvironmentDiscovery, AShellFolderThatIsNotAStringStopsWithNoAccessToTheRegistry) {
    const BadShellFolder cases[] = {
        {"Programs", REG_BINARY, false},
        {"Desktop", REG_DWORD, false},
        {"Startup", REG_MULTI_SZ, false},
        {"Desktop", REG_DWORD, true},
    };
    for (const BadShellFolder& c : cases) {
        SCOPED_TRACE(std::string(c.value) + (c.russian ? " (Russian)" : ""));
        RegistryOverride scratch;
        test::TestRun row(c.russian);
        MakeUserProfile();
        RegistryOverride::SetString(HKEY_LOCAL_MACHINE, kPlainEntry, "UninstallString", "C:\\L\\uninst.exe");
        RegistryOverride::SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", "C:\\PF");
        if (c.type == REG_DWORD) {
            RegistryOverride::SetDword(HKEY_CURRENT_USER, kShellFolders, c.value, 1);
        } else {
            RegistryOverride::SetString(HKEY_CURRENT_USER, kShellFolders, c.value, "C:\\x", c.type);
        }

        EXPECT_FALSE(Discover(row));
        ASSERT_EQ(row.ui.Shown().size(), 1u);
        const TMessageBoxRequest& box = row.ui.Shown()[0];
        EXPECT_EQ(box.text, c.russian ? "Нет доступа к системному реестру" : "No access to system registry");
        EXPECT_EQ(box.caption, c.russian ? "Обновление Lingvaro" : "Lingvaro update");
        EXPECT_EQ(box.style, kErrorBoxStyle);
        EXPECT_EQ(row.run.Environment.UninstallKey, "");
        EXPECT_EQ(row.run.Environment.InstallDir, "");
        EXPECT_EQ(row.run.Environment.SizeEntryKey, "");
        EXPECT_FALSE(row.run.SharedRegistry.HasOpenKey());
    }
}

TEST_F(EnvironmentDiscovery, MissingShellFoldersAreNoError) {
    RegistryOverride scratch;  // nothing at all under the current user
    ASSERT_TRUE(Discover());
    EXPECT_EQ(t_.run.Environment.InstallDir, "Lingvaro\\");
    EXPECT_TRUE(t_.ui.Shown().empty());
}

struct MachineError {
    const char* name;
    std::string key;
    std::string value;
};

TEST_F(EnvironmentDiscovery, AWrongTypedMachineValueLeavesTheOperationWithTheKeyClosed) {
    const MachineError cases[] = {
        {"ProgramFilesDir", kCurrentVersion, "ProgramFilesDir"},
        {"plain UninstallString", kPlainEntry, "UninstallString"},
        {"32-bit view UninstallString", kWowEntry, "UninstallString"},
    };
    for (const MachineError& c : cases) {
        SCOPED_TRACE(c.name);
        RegistryOverride scratch;
        MakeUserProfile();
        RegistryOverride::SetDword(HKEY_LOCAL_MACHINE, c.key, c.value, 7);
        try {
            Discover();
            ADD_FAILURE() << "no error raised";
        } catch (const TRegistryError& error) {
            EXPECT_EQ(std::string(error.what()), "Invalid data type for '" + c.value + "'");
        }
        EXPECT_FALSE(t_.run.SharedRegistry.HasOpenKey());
    }
    EXPECT_TRUE(t_.ui.Shown().empty());
}

}  // namespace
}  // namespace lvm
