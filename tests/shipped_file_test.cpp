// What the built installer carries: the package resource and the manifest.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "support/test_paths.h"

namespace {

std::wstring BesideTests(const wchar_t* name) { return lvm::test::BesideTestExecutable(name); }

class ShippedInstaller : public testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryExW(BesideTests(L"lvm0-setup.exe").c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override {
        if (module) FreeLibrary(module);
    }
    std::string Resource(const wchar_t* type, const wchar_t* name, WORD language) const {
        HRSRC found = FindResourceExW(module, type, name, language);
        if (!found) return std::string();
        const void* data = LockResource(LoadResource(module, found));
        return std::string(static_cast<const char*>(data), SizeofResource(module, found));
    }
    HMODULE module = nullptr;
};

TEST_F(ShippedInstaller, CarriesThePackageAsPakLvm0InRussian) {
    const std::string package = Resource(L"PAK", L"LVM0", MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA));
    ASSERT_EQ(package.size(), 11810129u);
    EXPECT_EQ(package.substr(0, 4), "lvm0");
    EXPECT_EQ(static_cast<uint8_t>(package[4]) | (static_cast<uint8_t>(package[5]) << 8), 546);
    EXPECT_EQ(static_cast<uint8_t>(package[6]) | (static_cast<uint8_t>(package[7]) << 8), 215);
    // Lookup by the lower-case names finds it too, as the writer looks it up.
    EXPECT_NE(FindResourceW(module, L"lvm0", L"pak"), nullptr);
}

TEST_F(ShippedInstaller, PackageOffsetsRunStrictlyUpToTheLastFourBytes) {
    const std::string package = Resource(L"PAK", L"LVM0", MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA));
    ASSERT_EQ(package.size(), 11810129u);
    uint32_t offsets[216];
    std::memcpy(offsets, package.data() + 8, sizeof(offsets));
    EXPECT_EQ(offsets[0], 876u);
    EXPECT_EQ(offsets[215], 11810125u);
    uint32_t smallest = UINT32_MAX, largest = 0;
    for (int i = 0; i < 215; ++i) {
        ASSERT_LT(offsets[i], offsets[i + 1]) << i;
        smallest = std::min(smallest, offsets[i + 1] - offsets[i]);
        largest = std::max(largest, offsets[i + 1] - offsets[i]);
    }
    EXPECT_EQ(smallest, 5004u);
    EXPECT_EQ(largest, 289398u);
    uint32_t spare;
    std::memcpy(&spare, package.data() + 872, 4);
    for (uint32_t offset : offsets) EXPECT_NE(spare, offset);
}

TEST_F(ShippedInstaller, ManifestAsksForAdminAndCommonControlsSixWithoutAnOsList) {
    const std::string manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEW(1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    // The shipped i686 file says X86; the x86_64 build the tests may run instead says amd64.
    const char* architecture = sizeof(void*) == 8 ? "processorArchitecture=\"amd64\" publicKeyToken"
                                                  : "processorArchitecture=\"X86\" publicKeyToken";
    EXPECT_NE(manifest.find(architecture), std::string::npos);
    EXPECT_EQ(manifest.find("supportedOS"), std::string::npos);
    EXPECT_EQ(manifest.find("compatibility"), std::string::npos);
}

}  // namespace
