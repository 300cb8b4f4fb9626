// The package's fixed configuration: filled by the entry point and by the
// first step of the run, read-only afterwards.
#pragma once

#include <cstdint>
#include <string>

namespace lvm {

struct TPackageConfig {
    std::string PackageTitle;
    std::string ResourceName;
    int32_t PackageVersion = 0;
    // An "exe" package's version is its FileVersion text; empty for the
    // numeric kinds, whose version is PackageVersion.
    std::string PackageVersionText;
    std::string ResourceType;
    std::string MainWindowClass = "TLVMainForm";
    std::string ProductShortName;
    std::string CaptionRu;
    std::string CaptionEn;
    std::string FullTitle;
};

// The entry point's part: what this executable carries. Generated for each
// installer from its package description (tools/check_package.py).
void SetPackageValues(TPackageConfig& config);
// The run completes the record first: product name, captions and the full title.
void CompletePackageConfig(TPackageConfig& config);
// The version as the title shows it: PackageVersionText, else PackageVersion in decimal.
std::string PackageVersionText(const TPackageConfig& config);
// ResourceName + "." + ResourceType.
std::string PackageFileName(const TPackageConfig& config);

}  // namespace lvm
