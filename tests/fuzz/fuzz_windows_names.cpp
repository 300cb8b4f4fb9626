// The Windows description over arbitrary version records, registry answers
// and captured "ver" output. A real system can report any numbers (a future
// version, a compatibility shim, a tampered registry), and the console output
// is whatever the interpreter printed.
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "sysinfo/capture_text.h"
#include "sysinfo/windows_names.h"

namespace {

using lvm::TWindowsFacts;
using lvm::TWindowsVersionParts;
using lvm::fuzz::PickText;
using lvm::fuzz::StartsWith;

template <typename T>
T PickOneOr(FuzzedDataProvider& data, const std::vector<T>& known) {
    if (data.ConsumeIntegralInRange<int>(0, 7) == 0) return data.ConsumeIntegral<T>();
    return known[data.ConsumeIntegralInRange<size_t>(0, known.size() - 1)];
}

// What "ver" prints on the systems the tables know, as starting points.
std::string PickCapturedOutput(FuzzedDataProvider& data) {
    static const char* const kPrinted[] = {
        "\r\nMicrosoft Windows [Version 6.2.9200]\r\n",
        "\nMicrosoft Windows [Version 6.3.9600]\n",
        "\r\nMicrosoft Windows [Version 10.0.19045.3803]\r\n",
        "Microsoft Windows [Version 11.0.30000.1]",
        "Microsoft Windows XP [Version 5.1.2600]\r",
        "",
    };
    std::string text = kPrinted[data.ConsumeIntegralInRange<size_t>(0, std::size(kPrinted) - 1)];
    const size_t cut = data.ConsumeIntegralInRange<size_t>(0, text.size());
    const size_t keep = data.ConsumeIntegralInRange<size_t>(cut, text.size());
    return text.substr(0, cut) + PickText(data, "[] .0123456789Version\r\n", 24) + text.substr(keep);
}

TWindowsFacts PickFacts(FuzzedDataProvider& data) {
    TWindowsFacts facts;
    lvm::TWindowsVersionRecord& v = facts.version;
    v.majorVersion = PickOneOr<uint32_t>(data, {3, 4, 5, 6, 10, 11});
    v.minorVersion = PickOneOr<uint32_t>(data, {0, 1, 2, 3, 4, 10, 51, 90});
    v.buildNumber = PickOneOr<uint32_t>(data, {950, 1111, 1212, 1213, 1214, 1381, 2222, 9200,
                                               0x040A08AE, 19045});
    v.platformId = PickOneOr<uint32_t>(data, {0, lvm::kPlatformWin32Windows, lvm::kPlatformWin32Nt});
    v.csdVersion = data.ConsumeBool() ? "Service Pack 6" : PickText(data, " ABCW\xd0\x90Service Pack 6a", 16);
    v.extended = data.ConsumeBool();
    v.suiteMask = data.ConsumeIntegral<uint16_t>();
    v.productType = PickOneOr<uint8_t>(data, {0, lvm::kProductWorkstation, lvm::kProductDomainController,
                                              lvm::kProductServer});
    facts.architecture = PickOneOr<uint16_t>(data, {lvm::kArchitectureIntel, lvm::kArchitectureIa64,
                                                     lvm::kArchitectureAmd64, 0xFFFF});
    facts.metrics.tabletPc = data.ConsumeIntegralInRange<int>(-1, 1);
    facts.metrics.mediaCenter = data.ConsumeIntegralInRange<int>(-1, 1);
    facts.metrics.starter = data.ConsumeIntegralInRange<int>(-1, 1);
    facts.metrics.serverR2 = data.ConsumeIntegralInRange<int>(-1, 1);
    if (data.ConsumeBool()) facts.productName = PickText(data, "Windows 10 Pro64x", 24);
    if (data.ConsumeBool()) {
        facts.productType = data.ConsumeBool() ? PickText(data, "WinNTLanmaServ", 10)
                                               : std::string(data.ConsumeBool() ? "winnt" : "ServerNT");
    }
    facts.hotfixQ246009 = data.ConsumeBool();
    // The "ver" text arrives through the capture, line by line.
    facts.versionText = lvm::CaptureLinesWithCrLf(PickCapturedOutput(data));
    return facts;
}

// The facts a record does not ask for are never gathered; what the gatherer
// leaves in them must not change the description (without detail, nor the
// parts with it).
TWindowsFacts OnlyWantedFacts(const TWindowsFacts& facts, bool detail) {
    TWindowsFacts gathered;
    gathered.version = facts.version;
    gathered.architecture = facts.architecture;
    if (lvm::WantsSystemMetrics(facts.version)) gathered.metrics = facts.metrics;
    if (lvm::WantsProductName(facts.version)) gathered.productName = facts.productName;
    if (lvm::WantsVersionText(facts.version, detail, gathered.productName.has_value())) {
        gathered.versionText = facts.versionText;
    }
    if (lvm::WantsProductType(facts.version)) gathered.productType = facts.productType;
    if (lvm::WantsHotfixQ246009(facts.version)) gathered.hotfixQ246009 = facts.hotfixQ246009;
    return gathered;
}

bool SameParts(const std::optional<TWindowsVersionParts>& a, const std::optional<TWindowsVersionParts>& b) {
    if (!a || !b) return !a && !b;
    return a->name == b->name && a->version == b->version && a->servicePack == b->servicePack;
}

void CheckDescription(const TWindowsFacts& facts) {
    const std::optional<TWindowsVersionParts> parts = lvm::ComposeWindowsVersionParts(facts);
    FUZZ_CHECK(SameParts(parts, lvm::ComposeWindowsVersionParts(facts)));
    FUZZ_CHECK(SameParts(parts, lvm::ComposeWindowsVersionParts(OnlyWantedFacts(facts, true))));
    const std::optional<TWindowsVersionParts> undetailed = lvm::ComposeWindowsVersionParts(OnlyWantedFacts(facts, false));
    FUZZ_CHECK(undetailed.has_value() == parts.has_value());
    if (parts) {
        FUZZ_CHECK(lvm::JoinWindowsDescription(*undetailed, false) == lvm::JoinWindowsDescription(*parts, false));
    }

    const uint32_t platform = facts.version.platformId;
    const bool known = platform == lvm::kPlatformWin32Nt || platform == lvm::kPlatformWin32Windows;
    FUZZ_CHECK(parts.has_value() == known);
    if (!parts) return;

    const bool namedByRegistry = lvm::WantsProductName(facts.version) && facts.productName;
    FUZZ_CHECK(StartsWith(parts->name, namedByRegistry ? *facts.productName : "Microsoft Windows "));
    FUZZ_CHECK(!parts->version.empty());  // numbers always, from "ver" or from the record
    // Numbers taken from "ver" stop before its closing bracket.
    FUZZ_CHECK(parts->version.find(']') == std::string::npos);
    if (lvm::WantsProductName(facts.version) && facts.architecture == lvm::kArchitectureAmd64) {
        FUZZ_CHECK(lvm::DescriptionMeans64Bit(lvm::JoinWindowsDescription(*parts, false)));
    }

    for (const bool detail : {false, true}) {
        const std::string description = lvm::JoinWindowsDescription(*parts, detail);
        FUZZ_CHECK(StartsWith(description, parts->name));
        const bool blankPack = lvm::IsBlankAfterTrimming(parts->servicePack);
        const bool blankVersion = lvm::IsBlankAfterTrimming(parts->version);
        if (!detail || blankVersion) {
            FUZZ_CHECK(description == (blankPack ? parts->name : parts->name + " " + parts->servicePack));
        } else {
            FUZZ_CHECK(description.find(parts->version) != std::string::npos);
        }
        FUZZ_CHECK(lvm::DescriptionMeans64Bit(description) == (description.find(" 64") != std::string::npos));
    }
}

// The lines of SplitLines, where even an empty text has one.
std::string ReferenceLines(const std::string& text) {
    std::vector<std::string> lines = lvm::fuzz::SplitLines(text);
    if (lines.empty()) lines.emplace_back();
    std::string joined;
    for (const std::string& each : lines) joined += each + "\r\n";
    return joined;
}

void CheckCapturedLines(const std::string& text) {
    const std::string lines = lvm::CaptureLinesWithCrLf(text);
    FUZZ_CHECK(lines == ReferenceLines(text));
    // Already in lines: reading it again changes nothing.
    FUZZ_CHECK(lvm::CaptureLinesWithCrLf(lines) == lines);
}

void CheckCaptureCommandLine(const std::string& interpreter, const std::string& command) {
    const std::string line = lvm::CaptureCommandLine(interpreter, command);
    FUZZ_CHECK(line == "\"" + interpreter + "\" /d /c " + command);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    if (data.ConsumeBool()) {
        CheckCaptureCommandLine(PickText(data, "C:\\Windows\\system32\\cmd.exe", 40), PickText(data, "ver", 8));
        CheckCapturedLines(data.ConsumeRemainingBytesAsString());
        return 0;
    }
    const TWindowsFacts facts = PickFacts(data);
    CheckCapturedLines(facts.versionText);
    CheckDescription(facts);
    return 0;
}
