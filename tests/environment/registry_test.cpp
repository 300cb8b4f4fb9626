#include <gtest/gtest.h>

#include "environment/registry.h"
#include "support/registry_override.h"

namespace lvm {
namespace {

using test::RegistryOverride;

constexpr char kKey[] = "Software\\LvmRegistryTest";

class Registry : public testing::Test {
protected:
    RegistryOverride redirect;
    TRegistry registry{kDefaultRegistryAccess};
};

TEST_F(Registry, ReadsStringsOfBothStringTypesUnexpanded) {
    RegistryOverride::SetString(HKEY_CURRENT_USER, kKey, "Plain", "C:\\Програмы\\Lingvaro");
    RegistryOverride::SetString(HKEY_CURRENT_USER, kKey, "Expand", "%ProgramFiles%\\x", REG_EXPAND_SZ);
    RegistryOverride::SetString(HKEY_CURRENT_USER, kKey, "Empty", "");
    ASSERT_TRUE(registry.OpenKey(kKey, false));
    EXPECT_EQ(registry.ReadString("Plain"), "C:\\Програмы\\Lingvaro");
    EXPECT_EQ(registry.ReadString("Expand"), "%ProgramFiles%\\x");
    EXPECT_EQ(registry.ReadString("Empty"), "");
    EXPECT_EQ(registry.ReadString("Missing"), "");
    EXPECT_TRUE(registry.ValueExists("Plain"));
    EXPECT_FALSE(registry.ValueExists("Missing"));
}

TEST_F(Registry, StringWithEmbeddedNulIsCutThere) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\LvmRegistryTest", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t data[] = L"abc\0def";  // and no terminator counted after "def"
    RegSetValueExW(key, L"Nul", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), 7 * sizeof(wchar_t));
    RegCloseKey(key);
    ASSERT_TRUE(registry.OpenKey(kKey, false));
    EXPECT_EQ(registry.ReadString("Nul"), "abc");
}

TEST_F(Registry, OtherTypesRaiseInvalidDataType) {
    RegistryOverride::SetDword(HKEY_CURRENT_USER, kKey, "Number", 5);
    ASSERT_TRUE(registry.OpenKey(kKey, false));
    try {
        registry.ReadString("Number");
        FAIL() << "no error raised";
    } catch (const TRegistryError& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'Number'");
    }
}

TEST_F(Registry, OpenWithoutCreateFailsQuietlyAndCreateMakesTheKey) {
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(registry.OpenKey("Software\\Absent\\Entry", false));
    EXPECT_FALSE(registry.HasOpenKey());
    EXPECT_FALSE(registry.ValueExists("anything"));
    EXPECT_EQ(registry.ReadString("anything"), "");

    ASSERT_TRUE(registry.OpenKey("Software\\Absent\\Entry", true));
    registry.WriteInteger("EstimatedSize", 0);
    registry.CloseKey();
    DWORD value = 99;
    ASSERT_TRUE(RegistryOverride::ReadDword(HKEY_LOCAL_MACHINE, "Software\\Absent\\Entry", "EstimatedSize", &value));
    EXPECT_EQ(value, 0u);
}

TEST_F(Registry, WriteIntegerWithoutAnOpenKeyRaises) {
    EXPECT_THROW(registry.WriteInteger("EstimatedSize", 1), TRegistryError);
}

TEST_F(Registry, RelativePathsCountFromTheOpenKeyAndRootChangeClosesIt) {
    RegistryOverride::SetString(HKEY_CURRENT_USER, std::string(kKey) + "\\Child", "Name", "child");
    ASSERT_TRUE(registry.OpenKey(kKey, false));
    ASSERT_TRUE(registry.OpenKey("Child", false));
    EXPECT_EQ(registry.ReadString("Name"), "child");
    // A leading backslash counts from the root again.
    ASSERT_TRUE(registry.OpenKey(std::string("\\") + kKey + "\\Child", false));
    EXPECT_EQ(registry.ReadString("Name"), "child");
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(registry.HasOpenKey());
}

// Scopes of one registry object nest: an inner scope never closes the key of
// an outer one, and each counts its path from the root, whatever the shared
// object has open.
TEST_F(Registry, KeyScopesNestAndCountFromTheRoot) {
    RegistryOverride::SetString(HKEY_CURRENT_USER, kKey, "Outer", "outer");
    RegistryOverride::SetString(HKEY_LOCAL_MACHINE, "Software\\Inner", "Inner", "inner");
    ASSERT_TRUE(registry.OpenKey(kKey, false));  // an open key of the shared object
    {
        TRegistryKeyScope outer(registry, HKEY_CURRENT_USER, kKey, false);
        ASSERT_TRUE(outer.Opened());
        {
            TRegistryKeyScope inner(registry, HKEY_LOCAL_MACHINE, "Software\\Inner", false);
            ASSERT_TRUE(inner.Opened());
            EXPECT_EQ(inner.Registry().ReadString("Inner"), "inner");
            EXPECT_EQ(inner.Registry().Access(), registry.Access());
        }
        EXPECT_TRUE(outer.Registry().HasOpenKey());
        EXPECT_EQ(outer.Registry().ReadString("Outer"), "outer");
    }
    EXPECT_EQ(registry.ReadString("Outer"), "outer");  // the shared object's own key is untouched
}

TEST(RegistryAccess, MasksWithAndWithoutThe64BitView) {
    EXPECT_EQ(TRegistry().Access(), 0xF003Fu);
    EXPECT_EQ(TRegistry(kRegistryAccess64).Access(), 0xF013Fu);
    EXPECT_EQ(TRegistry().RootKey(), HKEY_CURRENT_USER);
}

}  // namespace
}  // namespace lvm
