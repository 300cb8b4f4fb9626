// Windows facts for the description tests: records as the systems report them.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "sysinfo/windows_names.h"

namespace lvm::test {

constexpr uint8_t kWs = kProductWorkstation;
constexpr uint8_t kDc = kProductDomainController;
constexpr uint8_t kSrv = kProductServer;
// Itanium: the one architecture that adds no " 64-bit"/" 32-bit" to a 6.x name,
// so that the core name stands alone.
constexpr uint16_t kNoSuffix = kArchitectureIa64;

inline TWindowsFacts NtFacts(uint32_t major, uint32_t minor, uint8_t productType, uint16_t architecture) {
    TWindowsFacts facts;
    facts.version.platformId = kPlatformWin32Nt;
    facts.version.majorVersion = major;
    facts.version.minorVersion = minor;
    facts.version.buildNumber = 1234;
    facts.version.extended = true;
    facts.version.productType = productType;
    facts.architecture = architecture;
    return facts;
}

inline TWindowsFacts Win9xFacts(uint32_t minor, uint32_t build, const std::string& csd) {
    TWindowsFacts facts;
    facts.version.platformId = kPlatformWin32Windows;
    facts.version.majorVersion = 4;
    facts.version.minorVersion = minor;
    facts.version.buildNumber = build;
    facts.version.csdVersion = csd;
    return facts;
}

inline TWindowsVersionParts Parts(const TWindowsFacts& facts) {
    const std::optional<TWindowsVersionParts> parts = ComposeWindowsVersionParts(facts);
    EXPECT_TRUE(parts.has_value());
    return parts.value_or(TWindowsVersionParts{});
}

inline std::string Describe(const TWindowsFacts& facts, bool detail) {
    const std::optional<TWindowsVersionParts> parts = ComposeWindowsVersionParts(facts);
    return parts ? JoinWindowsDescription(*parts, detail) : kUnknownWindows;
}

}  // namespace lvm::test
