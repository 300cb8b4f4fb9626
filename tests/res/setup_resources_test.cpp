// What the built installer carries: the package resource, the manifest and
// the version resource.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

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

// Read as Explorer and inventory tools read it: through the version functions.
TEST(ShippedInstallerVersion, NamesTheProductThePackageAndTheFileInRussian) {
    const std::wstring setup = BesideTests(L"lvm0-setup.exe");
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(setup.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(setup.c_str(), 0, size, block.data()));
    auto query = [&](const wchar_t* path, UINT* length) {
        void* value = nullptr;
        *length = 0;
        return VerQueryValueW(block.data(), path, &value, length) ? value : nullptr;
    };
    UINT length = 0;
    const auto* translation = static_cast<const WORD*>(query(L"\\VarFileInfo\\Translation", &length));
    ASSERT_NE(translation, nullptr);
    EXPECT_EQ(translation[0], 0x0419) << "the package resource's language";
    EXPECT_EQ(translation[1], 1200);
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\", &length));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, 215u << 16);
    EXPECT_EQ(fixed->dwProductVersionMS, 215u << 16);
    const std::pair<const wchar_t*, std::wstring> expected[] = {
        {L"FileVersion", L"215"},
        {L"ProductVersion", L"215"},
        {L"ProductName", L"Lingvaro"},
        {L"FileDescription", L"Lingvaro update - \"Звуковые комментарии к оценке 0\" версии 215"},
        {L"OriginalFilename", L"lvm0-setup.exe"},
        {L"InternalName", L"lvm0-setup.exe"},
    };
    for (const auto& [key, text] : expected) {
        const std::wstring path = std::wstring(L"\\StringFileInfo\\041904b0\\") + key;
        const auto* value = static_cast<const wchar_t*>(query(path.c_str(), &length));
        ASSERT_NE(value, nullptr) << key;
        EXPECT_EQ(std::wstring(value), text) << key;
    }
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
    return TRUE;
}

// The version functions fall back to any language the resource has, so only
// the resource directory shows that it is Russian, and Russian alone.
TEST_F(ShippedInstaller, VersionResourceIsRussianOnly) {
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module, RT_VERSION, MAKEINTRESOURCEW(1), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{0x0419});
}

TEST_F(ShippedInstaller, ManifestAsksForAdminCommonControlsSixAndDpiAwarenessWithoutAnOsList) {
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

    // The DPI awareness as Windows reads it (element, namespace and value): from
    // an activation context made of the file's manifest.
    const std::wstring setup = BesideTests(L"lvm0-setup.exe");
    ACTCTXW request{sizeof(request), ACTCTX_FLAG_RESOURCE_NAME_VALID, setup.c_str(), 0, 0, nullptr,
                    MAKEINTRESOURCEW(1), nullptr, nullptr};
    const HANDLE context = CreateActCtxW(&request);
    wchar_t aware[16] = {}, awareness[32] = {};
    QueryActCtxSettingsW(0, context, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", aware,
                         16, nullptr);
    QueryActCtxSettingsW(0, context, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness",
                         awareness, 32, nullptr);
    EXPECT_EQ(std::wstring(aware), L"true");
    EXPECT_EQ(std::wstring(awareness), L"PerMonitorV2, System");
    if (context != INVALID_HANDLE_VALUE) ReleaseActCtx(context);
}

}  // namespace
