// The Windows description from plain facts: the joining of the parts, the
// 64-bit flag, and which facts need gathering at all.
#include <gtest/gtest.h>

#include "support/windows_facts.h"
#include "sysinfo/windows_names.h"

namespace lvm {
namespace {

using namespace test;

TEST(WindowsDescription, JoiningWithAndWithoutDetail) {
    struct Row {
        const char* name;
        const char* version;
        const char* servicePack;
        bool detail;
        const char* description;
    };
    const Row rows[] = {
        {"N", "1.2.3", "SP", false, "N SP"},
        {"N", "1.2.3", "SP", true, "N 1.2.3 SP"},
        {"N", "1.2.3", "", true, "N 1.2.3"},
        {"N", "1.2.3", " \t\r\n", true, "N 1.2.3"},
        {"N", "1.2.3", " \t\r\n", false, "N"},
        // Blank version numbers: as without detail.
        {"N", "  ", "SP", true, "N SP"},
        {"N", "", "", true, "N"},
        // Parts are joined as they are, untrimmed.
        {"N", " 1.2 ", " SP ", true, "N  1.2   SP "},
        {"N", "\x01", "\x1F ", true, "N"},
    };
    for (const Row& row : rows) {
        const TWindowsVersionParts parts{row.name, row.version, row.servicePack};
        EXPECT_EQ(JoinWindowsDescription(parts, row.detail), row.description);
    }
    EXPECT_TRUE(IsBlankAfterTrimming(""));
    EXPECT_TRUE(IsBlankAfterTrimming(std::string(1, '\0') + " \x20"));
    EXPECT_FALSE(IsBlankAfterTrimming(" !"));
    EXPECT_FALSE(IsBlankAfterTrimming("\xC2\xA0"));  // a no-break space is a character here
}

// Windows 10 that reports 6.2 to this program: the core name comes from "ver",
// the registry renames it, the numbers keep the blank they were cut with.
TEST(WindowsDescription, Windows10Reporting62WithTwoBlanksBeforeTheNumbers) {
    TWindowsFacts facts = NtFacts(6, 2, kWs, kArchitectureAmd64);
    facts.version.buildNumber = 9200;
    facts.versionText = "\r\nMicrosoft Windows [Version 10.0.19045.3803]\r\n";
    EXPECT_EQ(Parts(facts).name, "Microsoft Windows 10  64-bit");

    facts.productName = std::string("Windows 10 Pro");
    EXPECT_EQ(Parts(facts).version, " 10.0.19045.3803");
    EXPECT_EQ(Describe(facts, true), "Windows 10 Pro 64-bit  10.0.19045.3803");
    EXPECT_EQ(Describe(facts, false), "Windows 10 Pro 64-bit");
    EXPECT_TRUE(DescriptionMeans64Bit(Describe(facts, false)));
}

TEST(WindowsDescription, SixtyFourBitFlagFollowsTheText) {
    struct Row {
        TWindowsFacts facts;
        bool is64;
    };
    TWindowsFacts xpX64 = NtFacts(5, 2, kWs, kArchitectureAmd64);
    xpX64.version.csdVersion = "Service Pack 2";
    TWindowsFacts server2003X64 = NtFacts(5, 2, kSrv, kArchitectureAmd64);
    TWindowsFacts server2003Itanium = NtFacts(5, 2, kSrv, kArchitectureIa64);
    server2003Itanium.version.suiteMask = kSuiteEnterprise;
    TWindowsFacts seven64 = NtFacts(6, 1, kWs, kArchitectureAmd64);
    seven64.productName = std::string("Windows 7 Ultimate");
    seven64.version.csdVersion = "Service Pack 1";
    TWindowsFacts seven32 = NtFacts(6, 1, kWs, kArchitectureIntel);
    TWindowsFacts vistaItanium = NtFacts(6, 0, kSrv, kArchitectureIa64);
    const Row rows[] = {
        {xpX64, false}, {server2003X64, false}, {server2003Itanium, false},
        {seven64, true}, {seven32, false},      {vistaItanium, false},
    };
    for (const Row& row : rows) {
        for (bool detail : {false, true}) {
            const std::string description = Describe(row.facts, detail);
            EXPECT_EQ(DescriptionMeans64Bit(description), row.is64) << description;
        }
    }
    EXPECT_EQ(Describe(xpX64, false), "Microsoft Windows XP Professional x64 Service Pack 2");
    EXPECT_EQ(Describe(seven64, false), "Windows 7 Ultimate 64-bit Service Pack 1");
}

// The system side gathers only what a record wants: a fact it skips must
// never change the result, with or without detail, whether or not the
// registry had a product name.
TEST(WindowsNames, FactsNotWantedDoNotChangeTheResult) {
    for (bool hasProductName : {false, true}) {
        TWindowsFacts rich;
        rich.versionText = "\r\nMicrosoft Windows [Version 6.3.9600]\r\n";
        if (hasProductName) rich.productName = std::string("Some Product");
        rich.productType = std::string("LanmanNT");
        rich.hotfixQ246009 = true;
        rich.metrics = {1, 1, 1, 1};
        for (uint32_t platform : {kPlatformWin32Windows, kPlatformWin32Nt}) {
            for (uint32_t major = 0; major <= 11; ++major) {
                for (uint32_t minor : {0u, 1u, 2u, 3u, 4u, 10u, 90u}) {
                    for (bool extended : {false, true}) {
                        for (const char* csd : {"", "Service Pack 6"}) {
                            TWindowsVersionRecord version;
                            version.platformId = platform;
                            version.majorVersion = major;
                            version.minorVersion = minor;
                            version.extended = extended;
                            version.productType = extended ? kWs : 0;
                            version.csdVersion = csd;
                            TWindowsFacts all = rich;
                            all.version = version;
                            for (bool detail : {false, true}) {
                                TWindowsFacts mixed;
                                mixed.version = version;
                                if (WantsProductName(version)) mixed.productName = rich.productName;
                                if (WantsVersionText(version, detail, mixed.productName.has_value())) {
                                    mixed.versionText = rich.versionText;
                                }
                                if (WantsProductType(version)) mixed.productType = rich.productType;
                                if (WantsHotfixQ246009(version)) mixed.hotfixQ246009 = true;
                                if (WantsSystemMetrics(version)) mixed.metrics = rich.metrics;
                                EXPECT_EQ(Describe(mixed, detail), Describe(all, detail))
                                    << platform << " " << major << "." << minor << " " << extended
                                    << " " << csd << " detail " << detail << " name " << hasProductName;
                            }
                        }
                    }
                }
            }
        }
    }
}

// What the skipping saves: on Windows 8 to 11 (6.2 to this installer, with a
// product name in the registry) the description without detail starts no
// console process; with detail, or without a product name, it still does.
TEST(WindowsNames, VersionTextOn62OnlyWhereItCanChangeTheResult) {
    TWindowsVersionRecord v62;
    v62.platformId = kPlatformWin32Nt;
    v62.majorVersion = 6;
    v62.minorVersion = 2;
    v62.extended = true;
    v62.productType = kWs;
    EXPECT_FALSE(WantsVersionText(v62, false, true));
    EXPECT_TRUE(WantsVersionText(v62, true, true));
    EXPECT_TRUE(WantsVersionText(v62, false, false));
    TWindowsVersionRecord short62 = v62;
    short62.extended = false;
    EXPECT_TRUE(WantsVersionText(short62, false, true));
}

}  // namespace
}  // namespace lvm
