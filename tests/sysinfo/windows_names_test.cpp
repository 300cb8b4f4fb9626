// The Windows names and description from plain facts: every row of the name
// tables, the "ver" text cases, the registry answers, the joining of the parts,
// the 64-bit flag, and which facts need gathering at all.
#include <gtest/gtest.h>

#include "support/windows_facts.h"
#include "sysinfo/windows_names.h"

namespace lvm {
namespace {

using namespace test;

// Table of core names on the NT platform. Where the edition table applies
// (every major version but 6) the expected name carries the edition too.
TEST(WindowsNames, CoreNameTableEveryRow) {
    struct Row {
        uint32_t major, minor;
        uint8_t type;
        uint16_t suite, architecture;
        int serverR2;
        const char* versionText;
        const char* name;
        const char* version;
    };
    const Row rows[] = {
        {3, 51, kWs, 0, 0, 0, "", "Microsoft Windows NT Unknown Workstation", "3.51.1234"},
        {4, 0, kWs, 0, 0, 0, "", "Microsoft Windows NT Workstation", "4.0.1234"},
        {5, 0, kWs, 0, 0, 0, "", "Microsoft Windows 2000 Professional", "5.0.1234"},
        {5, 1, kWs, 0, 0, 0, "", "Microsoft Windows XP Professional", "5.1.1234"},
        {5, 2, kSrv, 0, 0, 1, "", "Microsoft Windows Server 2003 R2 Standard", "5.2.1234"},
        // R2 wins over the storage suite; the storage name has no trailing blank.
        {5, 2, kSrv, kSuiteStorageServer, 0, 1, "", "Microsoft Windows Server 2003 R2 Standard",
         "5.2.1234"},
        {5, 2, kSrv, kSuiteStorageServer, 0, 0, "", "Microsoft Windows Storage Server 2003Standard",
         "5.2.1234"},
        // The storage row wants the whole mask, not the bit.
        {5, 2, kSrv, kSuiteStorageServer | kSuiteEnterprise, 0, 0, "",
         "Microsoft Windows Server 2003 Enterprise", "5.2.1234"},
        {5, 2, kWs, 0, kArchitectureAmd64, 0, "", "Microsoft Windows XP Professional x64",
         "5.2.1234"},
        {5, 2, kWs, 0, kArchitectureIntel, 0, "", "Microsoft Windows Server 2003 Professional",
         "5.2.1234"},
        {5, 2, kSrv, 0, kArchitectureIntel, 0, "", "Microsoft Windows Server 2003 Standard",
         "5.2.1234"},
        {5, 3, kWs, 0, 0, 0, "", "Microsoft Windows Unknown version Professional", "5.3.1234"},
        {6, 0, kWs, 0, kNoSuffix, 0, "", "Microsoft Windows Vista ", "6.0.1234"},
        {6, 0, kSrv, 0, kNoSuffix, 0, "", "Microsoft Windows Server 2008 ", "6.0.1234"},
        {6, 1, kWs, 0, kNoSuffix, 0, "", "Microsoft Windows 7 ", "6.1.1234"},
        {6, 1, kDc, 0, kNoSuffix, 0, "", "Microsoft Windows Server 2008 R2 ", "6.1.1234"},
        {6, 2, kWs, 0, kNoSuffix, 0, "Microsoft Windows [Version 6.2.9200]",
         "Microsoft Windows 8 ", " 6.2.9200"},
        {6, 3, kWs, 0, kNoSuffix, 0, "", "Microsoft Windows 8.1 ", "6.3.1234"},
        {6, 3, kSrv, 0, kNoSuffix, 0, "", "Microsoft Windows Server 2012 R2 ", "6.3.1234"},
        {6, 4, kWs, 0, kNoSuffix, 0, "", "Microsoft Windows ", "6.4.1234"},
        {6, 10, kSrv, 0, kNoSuffix, 0, "", "Microsoft Windows ", "6.10.1234"},
        {10, 0, kWs, 0, 0, 0, "", "Microsoft Windows 10 Unknown Workstation", "10.0.1234"},
        {10, 0, kSrv, 0, 0, 0, "", "Microsoft Windows Server 2016 Unknown Server", "10.0.1234"},
        {10, 1, kWs, 0, 0, 0, "", "Microsoft Windows Unknown Workstation", "10.1.1234"},
        // Any other major version: the version cut of the "ver" text.
        {7, 0, kWs, 0, 0, 0, "\r\nMicrosoft Windows [Version 7.0.1]\r\n",
         "Microsoft Windows 7 Unknown Workstation", "7.0.1"},
        {11, 0, kDc, 0, 0, 0, "\r\nMicrosoft Windows [Version 11.0.22000]\r\n",
         "Microsoft Windows Server 11 Unknown Domain controller", "11.0.22000"},
        {2, 5, kSrv, 0, 0, 0, "", "Microsoft Windows Server  Unknown Server", "2.5.1234"},
    };
    for (const Row& row : rows) {
        TWindowsFacts facts = NtFacts(row.major, row.minor, row.type, row.architecture);
        facts.version.suiteMask = row.suite;
        facts.metrics.serverR2 = row.serverR2;
        facts.versionText = row.versionText;
        const TWindowsVersionParts parts = Parts(facts);
        EXPECT_EQ(parts.name, row.name) << row.major << "." << row.minor;
        EXPECT_EQ(parts.version, row.version) << row.major << "." << row.minor;
    }
}

// 6.2 as Windows reports it to a program without a supported-OS list, told
// apart by what "ver" printed; and the version cut when nothing known matched.
TEST(WindowsNames, VersionTextCasesFor62AndTheVersionCut) {
    struct Row {
        const char* text;
        uint8_t type;
        const char* name;
        const char* version;
    };
    const Row rows[] = {
        {"\r\nMicrosoft Windows [Version 6.2.9200]\r\n", kWs, "Microsoft Windows 8 ", " 6.2.9200"},
        {"\r\nMicrosoft Windows [Version 6.2.9200]\r\n", kSrv, "Microsoft Windows Server 2012 ",
         " 6.2.9200"},
        {"\r\nMicrosoft Windows [Version 6.3.9600]\r\n", kWs, "Microsoft Windows 8.1 ",
         " 6.3.9600"},
        {"\r\nMicrosoft Windows [Version 6.3.9600]\r\n", kDc, "Microsoft Windows Server 2012 R2 ",
         " 6.3.9600"},
        {"\r\nMicrosoft Windows [Version 10.0.19045.3803]\r\n", kWs, "Microsoft Windows 10 ",
         " 10.0.19045.3803"},
        {"\r\nMicrosoft Windows [Version 10.0.20348.587]\r\n", kSrv, "Microsoft Windows Server 10 ",
         " 10.0.20348.587"},
        // A console that prints no brackets: the name is found, the numbers are not.
        {"\r\nMicrosoft Windows 10.0.18362\r\n", kWs, "Microsoft Windows 10 ", "6.2.1234"},
        {"Microsoft Windows Version 6.2.9200", kWs, "Microsoft Windows 8 ", "6.2.1234"},
        // A "]" before the match leaves no numbers either.
        {"[x] Version 6.3.9600]", kWs, "Microsoft Windows 8.1 ", "6.2.1234"},
        // The version cut: from after "ion " to the first dot of the text.
        {"\r\nMicrosoft Windows [Version 12.0.30000]\r\n", kWs, "Microsoft Windows 12 ",
         "12.0.30000"},
        {"\r\nMicrosoft Windows [Version 12.0.30000]\r\n", kSrv, "Microsoft Windows Server 12 ",
         "12.0.30000"},
        // Without "ion" the cut starts at the fourth character.
        {"\r\nMicrosoft Windows 12.0.30000\r\n", kWs, "Microsoft Windows icrosoft Windows 12 ",
         "6.2.1234"},
        {"Windows [12.0.1]", kWs, "Microsoft Windows dows [12 ", "dows [12.0.1"},
        // A missing "." empties the name cut, a missing "]" the numbers.
        {"\r\nMicrosoft Windows [Version 12]\r\n", kWs, "Microsoft Windows  ", "12"},
        {"\r\nMicrosoft Windows [Version 12.0.30000\r\n", kSrv, "Microsoft Windows Server 12 ",
         "6.2.1234"},
        {"Microsoft Windows Version 12", kWs, "Microsoft Windows  ", "6.2.1234"},
        // A dot before the cut's start empties it too.
        {"v1.0 Version 12.0]", kWs, "Microsoft Windows  ", "12.0"},
        // A capture that failed: nothing to find.
        {"", kWs, "Microsoft Windows  ", "6.2.1234"},
        {"\r\n", kSrv, "Microsoft Windows Server  ", "6.2.1234"},
    };
    for (const Row& row : rows) {
        TWindowsFacts facts = NtFacts(6, 2, row.type, kNoSuffix);
        facts.versionText = row.text;
        const TWindowsVersionParts parts = Parts(facts);
        EXPECT_EQ(parts.name, row.name) << row.text;
        EXPECT_EQ(parts.version, row.version) << row.text;
    }
}

// Editions for every major version but 6; first matching row wins.
TEST(WindowsNames, EditionTableEveryRow) {
    struct Row {
        uint8_t type;
        uint32_t major, minor;
        uint16_t architecture, suite;
        TWindowsSystemMetrics metrics;
        const char* name;
    };
    const TWindowsSystemMetrics none{};
    const TWindowsSystemMetrics allMetrics{1, 1, 1, 0};
    const TWindowsSystemMetrics mediaAndTablet{1, 1, 0, 0};
    const TWindowsSystemMetrics tablet{1, 0, 0, 0};
    const uint16_t allWorkstationSuites = kSuitePersonal | kSuiteEmbeddedNt;
    const uint16_t allServerSuites =
        kSuiteComputeServer | kSuiteDatacenter | kSuiteEnterprise | kSuiteBlade;
    const Row rows[] = {
        {kWs, 4, 0, 0, 0, none, "Microsoft Windows NT Workstation"},
        {kWs, 5, 2, kArchitectureAmd64, allWorkstationSuites, allMetrics,
         "Microsoft Windows XP Professional x64"},
        {kWs, 5, 1, 0, allWorkstationSuites, allMetrics, "Microsoft Windows XP Starter"},
        {kWs, 5, 1, 0, allWorkstationSuites, mediaAndTablet, "Microsoft Windows XP Media Center"},
        {kWs, 5, 1, 0, allWorkstationSuites, tablet, "Microsoft Windows XP Tablet PC"},
        {kWs, 5, 1, 0, allWorkstationSuites, none, "Microsoft Windows XP Home"},
        {kWs, 5, 1, 0, kSuiteEmbeddedNt, none, "Microsoft Windows XP Embedded"},
        {kWs, 5, 0, 0, 0, none, "Microsoft Windows 2000 Professional"},
        {kWs, 3, 51, 0, 0, none, "Microsoft Windows NT Unknown Workstation"},
        {kSrv, 4, 0, 0, kSuiteEnterprise, none, "Microsoft Windows NT Server 4.0 Enterprise"},
        {kDc, 4, 0, 0, 0, none, "Microsoft Windows NT Server 4.0"},
        {kSrv, 5, 0, 0, kSuiteDatacenter | kSuiteEnterprise, none,
         "Microsoft Windows 2000 Datacenter Server"},
        {kSrv, 5, 0, 0, kSuiteEnterprise, none, "Microsoft Windows 2000 Advanced Server"},
        {kDc, 5, 0, 0, 0, none, "Microsoft Windows 2000 Server"},
        {kSrv, 5, 2, kArchitectureIntel, allServerSuites, none,
         "Microsoft Windows Server 2003 Computer Cluster"},
        {kSrv, 5, 2, kArchitectureIntel, kSuiteDatacenter | kSuiteEnterprise | kSuiteBlade, none,
         "Microsoft Windows Server 2003 Datacenter"},
        {kSrv, 5, 2, kArchitectureIntel, kSuiteEnterprise | kSuiteBlade, none,
         "Microsoft Windows Server 2003 Enterprise"},
        {kSrv, 5, 2, kArchitectureIntel, kSuiteBlade, none, "Microsoft Windows Server 2003 Web"},
        // Web wants the blade suite alone.
        {kSrv, 5, 2, kArchitectureIntel, kSuiteBlade | kSuitePersonal, none,
         "Microsoft Windows Server 2003 Standard"},
        {kDc, 5, 2, kArchitectureIntel, 0, none, "Microsoft Windows Server 2003 Standard"},
        {kSrv, 5, 2, kArchitectureIa64, allServerSuites, none,
         "Microsoft Windows Server 2003 Datacenter for Itanium-based Systems"},
        {kSrv, 5, 2, kArchitectureIa64, kSuiteEnterprise, none,
         "Microsoft Windows Server 2003 Enterprise for Itanium-based Systems"},
        {kSrv, 5, 2, kArchitectureIa64, kSuiteComputeServer, none,
         "Microsoft Windows Server 2003 Standard Itanium-based"},
        {kSrv, 5, 2, kArchitectureAmd64, allServerSuites, none,
         "Microsoft Windows Server 2003 Datacenter x64"},
        {kSrv, 5, 2, kArchitectureAmd64, kSuiteEnterprise, none,
         "Microsoft Windows Server 2003 Enterprise x64"},
        {kDc, 5, 2, kArchitectureAmd64, kSuiteBlade, none,
         "Microsoft Windows Server 2003 Standard x64"},
        {kSrv, 5, 2, 5, 0, none, "Microsoft Windows Server 2003 Unknown on Architecture 0x5"},
        {kSrv, 5, 2, 12, 0, none, "Microsoft Windows Server 2003 Unknown on Architecture 0xc"},
        {kSrv, 5, 1, 0, 0, none, "Microsoft Windows XP Unknown Server"},
        {kDc, 5, 1, 0, 0, none, "Microsoft Windows XP Unknown Domain controller"},
        {kSrv, 3, 51, 0, 0, none, "Microsoft Windows NT Unknown Server"},
        {0, 5, 1, 0, 0, none, "Microsoft Windows XP Unknown"},
        {4, 4, 0, 0, 0, none, "Microsoft Windows NT Unknown"},
    };
    for (const Row& row : rows) {
        TWindowsFacts facts = NtFacts(row.major, row.minor, row.type, row.architecture);
        facts.version.suiteMask = row.suite;
        facts.metrics = row.metrics;
        EXPECT_EQ(Parts(facts).name, row.name);
    }
}

TEST(WindowsNames, Windows95FamilyTableEveryRow) {
    struct Row {
        uint32_t minor, build;
        const char* csd;
        const char* name;
    };
    const uint32_t high410 = 0x040A0000;  // 98 keeps 4.10 in the high word of the build field
    const Row rows[] = {
        {0, 1111, " C ", "Microsoft Windows 95 OSR 2.0"},
        {3, 1212, "", "Microsoft Windows 95 OSR 2.1"},
        {0, 1213, " C ", "Microsoft Windows 95 OSR 2.1"},
        {0, 1214, " C ", "Microsoft Windows 95 OSR 2.5"},
        {3, 1214, " B ", "Microsoft Windows 95 OSR 2.1"},
        {0, 1081, " A ", "Microsoft Windows 95 OSR 2.x"},
        // The high word of the build field is not looked at.
        {0, 0x04000000 | 1111, "", "Microsoft Windows 95 OSR 2.0"},
        {0, 950, " A ", "Microsoft Windows 95 OSR 1"},
        {0, 950, " W", "Microsoft Windows 95 OSR 1"},
        {0, 1080, " B ", "Microsoft Windows 95"},
        {0, 950, "", "Microsoft Windows 95"},
        {0, 950, "A", "Microsoft Windows 95"},
        {10, high410 | 2222, " A ", "Microsoft Windows 98 SE"},
        {10, high410 | 2222, "", "Microsoft Windows 98"},
        {10, high410 | 1998, " B", "Microsoft Windows 98 SE"},
        {10, 2222, "", "Microsoft Windows 98 SE"},
        {10, high410 | 1998, " a ", "Microsoft Windows 98"},
        {90, 3000, " ", "Microsoft Windows Millennium"},
        {1, 950, "", "Microsoft Windows Unknown 9x"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Parts(Win9xFacts(row.minor, row.build, row.csd)).name, row.name)
            << "4." << row.minor << " build " << row.build << " \"" << row.csd << "\"";
    }
    TWindowsFacts otherMajor = Win9xFacts(0, 950, "");
    otherMajor.version.majorVersion = 5;
    EXPECT_EQ(Parts(otherMajor).name, "Microsoft Windows Unknown 9x");
}

// The letter test reads the second character, also when the first one takes
// more than one byte in UTF-8.
TEST(WindowsNames, Windows95FamilyLetterIsTheSecondCharacter) {
    EXPECT_EQ(Parts(Win9xFacts(10, 1998, "\xC3\xA9" "A")).name, "Microsoft Windows 98 SE");
    EXPECT_EQ(Parts(Win9xFacts(10, 1998, "\xC3\x81")).name, "Microsoft Windows 98");
}

TEST(WindowsNames, Windows95FamilyVersionAndServicePack) {
    TWindowsFacts facts = Win9xFacts(0x10A, 0x040A08AE, " A ");
    const TWindowsVersionParts parts = Parts(facts);
    EXPECT_EQ(parts.version, "4.10.2222");  // low 8 bits of minor, low 16 bits of build
    EXPECT_EQ(parts.servicePack, " A ");
    EXPECT_EQ(Describe(facts, false), "Microsoft Windows Unknown 9x  A ");
    EXPECT_EQ(Describe(facts, true), "Microsoft Windows Unknown 9x 4.10.2222  A ");
}

TEST(WindowsNames, ProductNameReplacesTheComposedNameAndTheSuffixFollows) {
    struct Row {
        uint32_t minor;
        uint16_t architecture;
        std::optional<std::string> productName;
        const char* name;
    };
    const Row rows[] = {
        {1, kArchitectureAmd64, std::string("Windows 7 Professional"),
         "Windows 7 Professional 64-bit"},
        {1, kArchitectureIntel, std::string("Windows 7 Professional"),
         "Windows 7 Professional 32-bit"},
        {0, kArchitectureIa64, std::string("Windows Server (R) 2008"), "Windows Server (R) 2008"},
        {0, 5, std::string("Windows Vista (TM) Ultimate"), "Windows Vista (TM) Ultimate"},
        {1, kArchitectureAmd64, std::nullopt, "Microsoft Windows 7  64-bit"},
        {3, kArchitectureIntel, std::nullopt, "Microsoft Windows 8.1  32-bit"},
        {4, kArchitectureAmd64, std::nullopt, "Microsoft Windows  64-bit"},
        // An empty value still replaces the name.
        {1, kArchitectureAmd64, std::string(), " 64-bit"},
    };
    for (const Row& row : rows) {
        TWindowsFacts facts = NtFacts(6, row.minor, kWs, row.architecture);
        facts.productName = row.productName;
        EXPECT_EQ(Parts(facts).name, row.name);
    }
}

// Without the extended record the suite and product type are unknown: the
// registry's product type stands in for the edition, and no product name or
// suffix is used, whatever the major version.
TEST(WindowsNames, ProductTypeFallbackWithoutTheExtendedRecord) {
    struct Row {
        uint32_t major, minor;
        std::optional<std::string> productType;
        const char* name;
    };
    const Row rows[] = {
        {4, 0, std::string("WinNT"), "Microsoft Windows NT Workstation"},
        {4, 0, std::string("winnt"), "Microsoft Windows NT Workstation"},
        {4, 0, std::string("LanmanNT"), "Microsoft Windows NT Server"},
        {4, 0, std::string("ServerNT"), "Microsoft Windows NT Advanced Server"},
        {4, 0, std::string("WinNT "), "Microsoft Windows NT Unknown"},
        {4, 0, std::string(), "Microsoft Windows NT Unknown"},
        {4, 0, std::nullopt, "Microsoft Windows NT "},
        {5, 0, std::string("LANMANNT"), "Microsoft Windows 2000 Server"},
        {6, 1, std::string("WinNT"), "Microsoft Windows Server 2008 R2 Workstation"},
    };
    for (const Row& row : rows) {
        TWindowsFacts facts = NtFacts(row.major, row.minor, 0, kArchitectureAmd64);
        facts.version.extended = false;
        facts.productType = row.productType;
        facts.productName = std::string("never used");
        EXPECT_EQ(Parts(facts).name, row.name);
    }
}

TEST(WindowsNames, ServicePack6aOnlyWithTheHotfixKeyOnNt4) {
    struct Row {
        uint32_t major;
        const char* csd;
        bool hotfix;
        bool extended;
        const char* servicePack;
    };
    const Row rows[] = {
        {4, "Service Pack 6", true, true, "Service Pack 6a"},
        {4, "Service Pack 6", true, false, "Service Pack 6a"},
        {4, "Service Pack 6", false, true, "Service Pack 6"},
        {4, "Service Pack 5", true, true, "Service Pack 5"},
        {4, "Service Pack 6 ", true, true, "Service Pack 6 "},
        {5, "Service Pack 6", true, true, "Service Pack 6"},
    };
    for (const Row& row : rows) {
        TWindowsFacts facts = NtFacts(row.major, 0, kWs, kArchitectureIntel);
        facts.version.csdVersion = row.csd;
        facts.version.extended = row.extended;
        facts.hotfixQ246009 = row.hotfix;
        EXPECT_EQ(Parts(facts).servicePack, row.servicePack) << row.major << " " << row.csd;
    }
    TWindowsFacts nt4 = NtFacts(4, 0, kWs, kArchitectureIntel);
    nt4.version.buildNumber = 1381;
    nt4.version.csdVersion = "Service Pack 6";
    nt4.hotfixQ246009 = true;
    EXPECT_EQ(Describe(nt4, false), "Microsoft Windows NT Workstation Service Pack 6a");
    EXPECT_EQ(Describe(nt4, true), "Microsoft Windows NT Workstation 4.0.1381 Service Pack 6a");
}

TEST(WindowsNames, VersionFallbackUsesTheLow16BitsOfTheBuild) {
    TWindowsFacts facts = NtFacts(6, 1, kWs, kArchitectureAmd64);
    facts.version.buildNumber = 0x06011DB1;
    EXPECT_EQ(Parts(facts).version, "6.1.7601");
}

TEST(WindowsNames, UnknownPlatformGivesUnknown) {
    for (uint32_t platform : {0u, 3u, 4u}) {
        TWindowsFacts facts = NtFacts(6, 1, kWs, kArchitectureAmd64);
        facts.version.platformId = platform;
        EXPECT_FALSE(ComposeWindowsVersionParts(facts).has_value()) << platform;
        EXPECT_EQ(Describe(facts, true), "unknown");
    }
}

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
