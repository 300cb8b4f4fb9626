// The Windows description on the running system, and the registry answers it
// reads, over a redirected HKEY_LOCAL_MACHINE.
#include <windows.h>

#include <gtest/gtest.h>

#include "environment/registry.h"
#include "support/registry_override.h"
#include "sysinfo/windows_facts.h"
#include "support/scripted_ui.h"
#include "sysinfo/windows_version.h"
#include "update/startup.h"

namespace lvm {
namespace {

using test::RegistryOverride;

const char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char kProductOptionsKey[] = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
const char kHotfixKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";

// A 32-bit process runs on 64-bit Windows exactly when it runs under WOW64;
// a 64-bit build (run by the tests on hosts without 32-bit user code) always does.
bool SystemIs64Bit() {
    if (sizeof(void*) == 8) return true;
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// Start-up takes the 64-bit flag from the description and gives the shared
// registry object the 64-bit view with it.
TEST(WindowsOnThisSystem, StartupSetsIsWin64ByTheRealArchitecture) {
    test::TestRun t;
    t.run.SharedRegistry.SetAccess(kDefaultRegistryAccess);
    t.run.IsWin64 = !SystemIs64Bit();
    CommonStartup(t.run);
    EXPECT_EQ(t.run.IsWin64, SystemIs64Bit());
    EXPECT_EQ(t.run.SharedRegistry.Access(), SystemIs64Bit() ? kRegistryAccess64 : kDefaultRegistryAccess);
    const std::string description = DescribeWindows();
    EXPECT_NE(description, "unknown");
    EXPECT_EQ(description.find(" 64-bit") != std::string::npos, SystemIs64Bit()) << description;
}

TEST(WindowsOnThisSystem, PartsAndTheDetailedDescriptionAgree) {
    const std::optional<TWindowsFacts> facts = GatherWindowsFacts(/*detail=*/true);
    ASSERT_TRUE(facts.has_value());
    const std::optional<TWindowsVersionParts> parts = ComposeWindowsVersionParts(*facts);
    ASSERT_TRUE(parts.has_value());
    const std::string& name = parts->name;
    const std::string& version = parts->version;
    EXPECT_FALSE(name.empty());
    ASSERT_FALSE(version.empty());
    EXPECT_NE(version.find('.'), std::string::npos) << version;
    const std::string detailed = JoinWindowsDescription(*parts, /*detail=*/true);
    EXPECT_EQ(detailed.rfind(name + " " + version, 0), 0u) << detailed;
    EXPECT_EQ(DescribeWindows().rfind(name, 0), 0u);
}

class WindowsRegistryFacts : public testing::Test {
protected:
    RegistryOverride registry_;
};

TEST_F(WindowsRegistryFacts, ProductNameIsReadInStringTypesOnly) {
    EXPECT_EQ(ReadProductName(), std::nullopt);  // no key
    RegistryOverride::SetString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "CurrentBuild", "7601");
    EXPECT_EQ(ReadProductName(), std::nullopt);  // no value

    RegistryOverride::SetString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProductName",
                                "Stand-in Windows Name");
    EXPECT_EQ(ReadProductName(), "Stand-in Windows Name");
    RegistryOverride::SetString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProductName",
                                "Expandable %Name%", REG_EXPAND_SZ);
    EXPECT_EQ(ReadProductName(), "Expandable %Name%");

    RegistryOverride::SetDword(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProductName", 7);
    EXPECT_THROW(ReadProductName(), TRegistryError);
}

// Where the record asks for the product name (6.x, as Vista to 11 report to
// this program), the registry's value names the system.
TEST_F(WindowsRegistryFacts, DescriptionTakesTheProductNameAndAWrongTypeLeavesAsAnError) {
    const std::optional<TWindowsFacts> facts = GatherWindowsFacts(true);
    ASSERT_TRUE(facts.has_value());
    if (!WantsProductName(facts->version)) GTEST_SKIP() << "this system reports no 6.x version";

    RegistryOverride::SetString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProductName",
                                "Stand-in Windows Name");
    const std::string suffix = SystemIs64Bit() ? " 64-bit" : " 32-bit";
    EXPECT_EQ(DescribeWindows().rfind("Stand-in Windows Name" + suffix, 0), 0u);

    RegistryOverride::SetDword(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProductName", 7);
    EXPECT_THROW(DescribeWindows(), TRegistryError);
}

TEST_F(WindowsRegistryFacts, ProductOptionsTypeIsAStringThatFits) {
    EXPECT_EQ(ReadProductOptionsType(), std::nullopt);  // no key
    RegistryOverride::SetString(HKEY_LOCAL_MACHINE, kProductOptionsKey, "ProductSuite", "");
    EXPECT_EQ(ReadProductOptionsType(), std::nullopt);  // no value

    struct Row {
        std::string value;
        DWORD type;
        std::optional<std::string> read;
    };
    const Row rows[] = {
        {"LanmanNT", REG_SZ, std::string("LanmanNT")},
        {"", REG_SZ, std::string()},
        {std::string(255, 'W'), REG_SZ, std::string(255, 'W')},
        {std::string(256, 'W'), REG_SZ, std::nullopt},
        {"WinNT", REG_EXPAND_SZ, std::nullopt},
        {"WinNT", REG_MULTI_SZ, std::nullopt},
    };
    for (const Row& row : rows) {
        RegistryOverride::SetString(HKEY_LOCAL_MACHINE, kProductOptionsKey, "ProductType",
                                    row.value, row.type);
        EXPECT_EQ(ReadProductOptionsType(), row.read) << row.value.size() << " " << row.type;
    }
    RegistryOverride::SetDword(HKEY_LOCAL_MACHINE, kProductOptionsKey, "ProductType", 1);
    EXPECT_EQ(ReadProductOptionsType(), std::nullopt);
}

TEST_F(WindowsRegistryFacts, HotfixKeyIsFoundWhenItExists) {
    EXPECT_FALSE(HotfixQ246009Installed());
    RegistryOverride::SetString(HKEY_LOCAL_MACHINE, kHotfixKey, "Installed", "1");
    EXPECT_TRUE(HotfixQ246009Installed());
}

}  // namespace
}  // namespace lvm
