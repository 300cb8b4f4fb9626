#include "sysinfo/windows_names.h"

#include <cstdio>

#include "common/ascii.h"

namespace lvm {

namespace {

bool IsWorkstation(const TWindowsVersionRecord& version) {
    return version.productType == kProductWorkstation;
}

bool HasSuite(const TWindowsVersionRecord& version, uint16_t bit) {
    return (version.suiteMask & bit) != 0;
}

std::string Dotted(uint32_t major, uint32_t minor, uint32_t build) {
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build);
}

// Positions count from 1, and 0 means "not found", as in the version text
// rules below; keeping that arithmetic makes the cuts match them exactly.
size_t PositionOf(const std::string& text, const char* part) {
    const size_t at = text.find(part);
    return at == std::string::npos ? 0 : at + 1;
}

// The characters from position start up to, not including, position stop;
// empty unless stop lies after start (a missing stop, 0, included).
std::string CutBetween(const std::string& text, size_t start, size_t stop) {
    if (stop <= start) return std::string();
    return text.substr(start - 1, stop - start);
}

// The version numbers that "ver" prints end at the closing bracket of
// "[Version 10.0.19045.3803]".
std::string VersionFrom(const std::string& versionText, size_t start) {
    return CutBetween(versionText, start, PositionOf(versionText, "]"));
}

// A version Windows did not tell by number: the major number that "ver"
// prints after "Version ", up to the first dot of the text.
std::string VersionCutName(bool workstation, const std::string& versionText, std::string& version) {
    const size_t start = PositionOf(versionText, "ion") + 4;
    version = VersionFrom(versionText, start);
    std::string name = workstation ? "" : "Server ";
    return name + CutBetween(versionText, start, PositionOf(versionText, ".")) + " ";
}

// 6.2 is what Windows 8 reports, and what 8.1 and 10 report to a program that
// does not declare them supported; only "ver" tells them apart.
std::string NameFor62(bool workstation, const std::string& versionText, std::string& version) {
    struct Printed {
        const char* mark;
        const char* workstation;
        const char* server;
    };
    static const Printed kPrinted[] = {
        {" 6.2", "8 ", "Server 2012 "},
        {" 6.3", "8.1 ", "Server 2012 R2 "},
        {" 10", "10 ", "Server 10 "},
    };
    for (const Printed& printed : kPrinted) {
        const size_t at = PositionOf(versionText, printed.mark);
        if (at != 0) {
            version = VersionFrom(versionText, at);
            return workstation ? printed.workstation : printed.server;
        }
    }
    return VersionCutName(workstation, versionText, version);
}

std::string NameFor5(const TWindowsFacts& facts) {
    const TWindowsVersionRecord& v = facts.version;
    switch (v.minorVersion) {
        case 0: return "2000 ";
        case 1: return "XP ";
        case 2:
            if (facts.metrics.serverR2 != 0) return "Server 2003 R2 ";
            if (v.suiteMask == kSuiteStorageServer) return "Storage Server 2003";
            // XP Professional x64 Edition shares 5.2 with Server 2003.
            if (IsWorkstation(v) && facts.architecture == kArchitectureAmd64) return "XP ";
            return "Server 2003 ";
        default: return "Unknown version ";
    }
}

std::string NameFor6(const TWindowsFacts& facts, std::string& version) {
    const bool workstation = IsWorkstation(facts.version);
    switch (facts.version.minorVersion) {
        case 0: return workstation ? "Vista " : "Server 2008 ";
        case 1: return workstation ? "7 " : "Server 2008 R2 ";
        case 2: return NameFor62(workstation, facts.versionText, version);
        case 3: return workstation ? "8.1 " : "Server 2012 R2 ";
        default: return std::string();
    }
}

// The core name on the NT platform; version receives the numbers when they
// were taken from the "ver" text.
std::string NtCoreName(const TWindowsFacts& facts, std::string& version) {
    const TWindowsVersionRecord& v = facts.version;
    switch (v.majorVersion) {
        case 3:
        case 4: return "NT ";
        case 5: return NameFor5(facts);
        case 6: return NameFor6(facts, version);
        case 10:
            if (v.minorVersion != 0) return std::string();
            return IsWorkstation(v) ? "10 " : "Server 2016 ";
        default: return VersionCutName(IsWorkstation(v), facts.versionText, version);
    }
}

std::string WorkstationEdition(const TWindowsFacts& facts) {
    const TWindowsVersionRecord& v = facts.version;
    if (v.majorVersion == 4) return "Workstation";
    if (v.majorVersion != 5) return "Unknown Workstation";
    if (v.minorVersion == 2 && facts.architecture == kArchitectureAmd64) return "Professional x64";
    if (facts.metrics.starter != 0) return "Starter";
    if (facts.metrics.mediaCenter != 0) return "Media Center";
    if (facts.metrics.tabletPc != 0) return "Tablet PC";
    if (HasSuite(v, kSuitePersonal)) return "Home";
    if (HasSuite(v, kSuiteEmbeddedNt)) return "Embedded";
    return "Professional";
}

std::string Server2003Edition(const TWindowsFacts& facts) {
    const TWindowsVersionRecord& v = facts.version;
    switch (facts.architecture) {
        case kArchitectureIntel:
            if (HasSuite(v, kSuiteComputeServer)) return "Computer Cluster";
            if (HasSuite(v, kSuiteDatacenter)) return "Datacenter";
            if (HasSuite(v, kSuiteEnterprise)) return "Enterprise";
            // The whole mask: Web Edition is the blade suite and nothing else.
            if (v.suiteMask == kSuiteBlade) return "Web";
            return "Standard";
        case kArchitectureIa64:
            if (HasSuite(v, kSuiteDatacenter)) return "Datacenter for Itanium-based Systems";
            if (HasSuite(v, kSuiteEnterprise)) return "Enterprise for Itanium-based Systems";
            return "Standard Itanium-based";
        case kArchitectureAmd64:
            if (HasSuite(v, kSuiteDatacenter)) return "Datacenter x64";
            if (HasSuite(v, kSuiteEnterprise)) return "Enterprise x64";
            return "Standard x64";
        default: {
            char text[48];
            std::snprintf(text, sizeof(text), "Unknown on Architecture 0x%x",
                          static_cast<unsigned>(facts.architecture));
            return text;
        }
    }
}

std::string ServerEdition(const TWindowsFacts& facts) {
    const TWindowsVersionRecord& v = facts.version;
    if (v.majorVersion == 4) {
        return HasSuite(v, kSuiteEnterprise) ? "Server 4.0 Enterprise" : "Server 4.0";
    }
    if (v.majorVersion == 5 && v.minorVersion == 0) {
        if (HasSuite(v, kSuiteDatacenter)) return "Datacenter Server";
        if (HasSuite(v, kSuiteEnterprise)) return "Advanced Server";
        return "Server";
    }
    if (v.majorVersion == 5 && v.minorVersion == 2) return Server2003Edition(facts);
    return v.productType == kProductServer ? "Unknown Server" : "Unknown Domain controller";
}

// The edition from the extended record, for every major version but 6.
std::string Edition(const TWindowsFacts& facts) {
    switch (facts.version.productType) {
        case kProductWorkstation: return WorkstationEdition(facts);
        case kProductDomainController:
        case kProductServer: return ServerEdition(facts);
        default: return "Unknown";
    }
}

// The edition from the registry, for systems too old for the extended record.
// ASCII upper-casing only: the known values are ASCII, and a locale-aware one
// could turn "winnt" into something that no longer matches (dotted capital I).
std::string ProductOptionsEdition(const std::string& productType) {
    const std::string upper = UpperAscii(productType);
    if (upper == "WINNT") return "Workstation";
    if (upper == "LANMANNT") return "Server";
    if (upper == "SERVERNT") return "Advanced Server";
    return "Unknown";
}

std::string ArchitectureSuffix(uint16_t architecture) {
    if (architecture == kArchitectureAmd64) return " 64-bit";
    if (architecture == kArchitectureIntel) return " 32-bit";
    return std::string();
}

bool IsServicePack6(const TWindowsVersionRecord& v) {
    return v.majorVersion == 4 && v.csdVersion == "Service Pack 6";
}

// The second character of UTF-8 text, as its first byte; 0 when there is
// none. Only its comparison with ASCII letters matters.
char SecondCharacter(const std::string& text) {
    int seen = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) continue;  // continuation byte
        if (++seen == 2) return c;
    }
    return '\0';
}

// Names on the 95 family, told apart by build number and by the letter that
// the service-pack text carries in its second character.
std::string Windows9xName(const TWindowsVersionRecord& v) {
    const uint32_t build = v.buildNumber & 0xFFFF;
    const char letter = SecondCharacter(v.csdVersion);
    if (v.majorVersion != 4) return "Unknown 9x";
    switch (v.minorVersion) {
        case 0:
        case 3:
            if (build == 1111) return "95 OSR 2.0";
            if (build == 1212 || build == 1213) return "95 OSR 2.1";
            if (build == 1214) return letter == 'C' ? "95 OSR 2.5" : "95 OSR 2.1";
            if (build > 1080) return "95 OSR 2.x";
            return (letter == 'A' || letter == 'W') ? "95 OSR 1" : "95";
        case 10:
            // The whole build field: on 98 its high word holds 4.10, so in
            // practice the letter decides.
            return (v.buildNumber == 2222 || letter == 'A' || letter == 'B') ? "98 SE" : "98";
        case 90: return "Millennium";
        default: return "Unknown 9x";
    }
}

TWindowsVersionParts NtParts(const TWindowsFacts& facts) {
    const TWindowsVersionRecord& v = facts.version;
    TWindowsVersionParts parts;
    parts.name = "Microsoft Windows " + NtCoreName(facts, parts.version);
    if (!v.extended) {
        if (facts.productType) parts.name += ProductOptionsEdition(*facts.productType);
    } else if (v.majorVersion == 6) {
        // From Vista on, the registry's product name says more than the tables.
        if (facts.productName) parts.name = *facts.productName;
        parts.name += ArchitectureSuffix(facts.architecture);
    } else {
        parts.name += Edition(facts);
    }
    // Service Pack 6a kept the text of 6 and left only its hotfix key behind.
    parts.servicePack =
        IsServicePack6(v) && facts.hotfixQ246009 ? "Service Pack 6a" : v.csdVersion;
    if (parts.version.empty()) {
        parts.version = Dotted(v.majorVersion, v.minorVersion, v.buildNumber & 0xFFFF);
    }
    return parts;
}

TWindowsVersionParts Windows9xParts(const TWindowsVersionRecord& v) {
    TWindowsVersionParts parts;
    parts.name = "Microsoft Windows " + Windows9xName(v);
    parts.version = Dotted(v.majorVersion, v.minorVersion & 0xFF, v.buildNumber & 0xFFFF);
    parts.servicePack = v.csdVersion;
    return parts;
}

}  // namespace

bool WantsVersionText(const TWindowsVersionRecord& version, bool detail, bool productNameRead) {
    if (version.platformId != kPlatformWin32Nt) return false;
    switch (version.majorVersion) {
        case 3:
        case 4:
        case 5:
        case 10: return false;
        case 6:
            if (version.minorVersion != 2) return false;
            return detail || !(version.extended && productNameRead);
        default: return true;
    }
}

bool WantsProductName(const TWindowsVersionRecord& version) {
    return version.platformId == kPlatformWin32Nt && version.extended && version.majorVersion == 6;
}

bool WantsProductType(const TWindowsVersionRecord& version) {
    return version.platformId == kPlatformWin32Nt && !version.extended;
}

bool WantsHotfixQ246009(const TWindowsVersionRecord& version) {
    return version.platformId == kPlatformWin32Nt && IsServicePack6(version);
}

bool WantsSystemMetrics(const TWindowsVersionRecord& version) {
    return version.platformId == kPlatformWin32Nt && version.majorVersion == 5;
}

std::optional<TWindowsVersionParts> ComposeWindowsVersionParts(const TWindowsFacts& facts) {
    switch (facts.version.platformId) {
        case kPlatformWin32Nt: return NtParts(facts);
        case kPlatformWin32Windows: return Windows9xParts(facts.version);
        default: return std::nullopt;
    }
}

std::string JoinWindowsDescription(const TWindowsVersionParts& parts, bool detail) {
    const bool hasServicePack = !IsBlankAfterTrimming(parts.servicePack);
    if (detail && !IsBlankAfterTrimming(parts.version)) {
        std::string numbers = parts.version;
        if (hasServicePack) numbers += " " + parts.servicePack;
        return parts.name + " " + numbers;
    }
    if (hasServicePack) return parts.name + " " + parts.servicePack;
    return parts.name;
}

bool IsBlankAfterTrimming(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) > ' ') return false;
    }
    return true;
}

bool DescriptionMeans64Bit(const std::string& description) {
    return description.find(" 64") != std::string::npos;
}

}  // namespace lvm
