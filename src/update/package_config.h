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
    std::string ResourceType = "pak";
    std::string MainWindowClass = "TLVMainForm";
    std::string ProductShortName;
    std::string CaptionRu;
    std::string CaptionEn;
    std::string FullTitle;
};

// The entry point's part: what this executable carries.
void SetPackageValues(TPackageConfig& config);
// The run completes the record first: product name, captions and the full title.
void CompletePackageConfig(TPackageConfig& config);
// ResourceName + "." + ResourceType.
std::string PackageFileName(const TPackageConfig& config);

}  // namespace lvm
