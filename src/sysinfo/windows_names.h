// The Windows description as a function of plain facts: the version record,
// the native architecture, four system metrics, three registry answers and
// the "ver" text. No Windows headers here: every name the tables know can be
// produced and checked on any host.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lvm {

// The values Windows reports (winnt.h), repeated so this file needs no Windows headers.
constexpr uint32_t kPlatformWin32Windows = 1;  // VER_PLATFORM_WIN32_WINDOWS: 95, 98, Me
constexpr uint32_t kPlatformWin32Nt = 2;       // VER_PLATFORM_WIN32_NT

constexpr uint16_t kArchitectureIntel = 0;  // PROCESSOR_ARCHITECTURE_INTEL
constexpr uint16_t kArchitectureIa64 = 6;   // PROCESSOR_ARCHITECTURE_IA64
constexpr uint16_t kArchitectureAmd64 = 9;  // PROCESSOR_ARCHITECTURE_AMD64

constexpr uint8_t kProductWorkstation = 1;       // VER_NT_WORKSTATION
constexpr uint8_t kProductDomainController = 2;  // VER_NT_DOMAIN_CONTROLLER
constexpr uint8_t kProductServer = 3;            // VER_NT_SERVER

constexpr uint16_t kSuiteEnterprise = 0x0002;     // VER_SUITE_ENTERPRISE
constexpr uint16_t kSuiteEmbeddedNt = 0x0040;     // VER_SUITE_EMBEDDEDNT
constexpr uint16_t kSuiteDatacenter = 0x0080;     // VER_SUITE_DATACENTER
constexpr uint16_t kSuitePersonal = 0x0200;       // VER_SUITE_PERSONAL
constexpr uint16_t kSuiteBlade = 0x0400;          // VER_SUITE_BLADE
constexpr uint16_t kSuiteStorageServer = 0x2000;  // VER_SUITE_STORAGE_SERVER
constexpr uint16_t kSuiteComputeServer = 0x4000;  // VER_SUITE_COMPUTE_SERVER

// What the version query filled in.
struct TWindowsVersionRecord {
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint32_t buildNumber = 0;
    uint32_t platformId = 0;
    std::string csdVersion;  // the service-pack text, "" when none
    // Only the extended record carries the suite mask and the product type;
    // when just the short one could be filled, both read as 0.
    bool extended = false;
    uint16_t suiteMask = 0;
    uint8_t productType = 0;
};

// GetSystemMetrics answers; nonzero means set.
struct TWindowsSystemMetrics {
    int tabletPc = 0;     // SM_TABLETPC
    int mediaCenter = 0;  // SM_MEDIACENTER
    int starter = 0;      // SM_STARTER
    int serverR2 = 0;     // SM_SERVERR2
};

struct TWindowsFacts {
    TWindowsVersionRecord version;
    uint16_t architecture = kArchitectureIntel;  // of the native system, not of this process
    TWindowsSystemMetrics metrics;
    // "ProductName" of HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion in the
    // 64-bit view, when the key opened and the value exists.
    std::optional<std::string> productName;
    // "ProductType" of HKLM\SYSTEM\CurrentControlSet\Control\ProductOptions,
    // when it could be read as REG_SZ.
    std::optional<std::string> productType;
    // The key ...\Windows NT\CurrentVersion\Hotfix\Q246009 exists.
    bool hotfixQ246009 = false;
    // What the console command "ver" printed.
    std::string versionText;
};

struct TWindowsVersionParts {
    std::string name;
    std::string version;
    std::string servicePack;
};

// The description when the platform is not one of the two known.
constexpr char kUnknownWindows[] = "unknown";

// Which facts a record's description depends on; the others need not be
// gathered (and reading them could only fail where nothing needs them).
// "ver" starts a console process, the dearest fact by far; it is wanted only
// where its text can change the result. On 6.2 the registry's product name,
// when it was read, replaces the name that "ver" gives, and the version numbers
// it gives are printed only with detail.
bool WantsVersionText(const TWindowsVersionRecord& version, bool detail, bool productNameRead);
bool WantsProductName(const TWindowsVersionRecord& version);
bool WantsProductType(const TWindowsVersionRecord& version);
bool WantsHotfixQ246009(const TWindowsVersionRecord& version);
// The metrics: only the names of the 5.x systems depend on them, and asking
// for them would load the window system into every run.
bool WantsSystemMetrics(const TWindowsVersionRecord& version);

// Name, version numbers and service-pack text; nullopt for an unknown platform.
std::optional<TWindowsVersionParts> ComposeWindowsVersionParts(const TWindowsFacts& facts);

// One line: name, then (with detail) the version numbers, then the service
// pack, each only when it is not blank after trimming.
std::string JoinWindowsDescription(const TWindowsVersionParts& parts, bool detail);

// Nothing but control characters and blanks (codes up to 32), or empty.
bool IsBlankAfterTrimming(const std::string& text);

// The 64-bit flag as the description shows it: it contains " 64". Names that
// say " x64" do not count.
bool DescriptionMeans64Bit(const std::string& description);

}  // namespace lvm
