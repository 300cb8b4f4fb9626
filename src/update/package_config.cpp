#include "update/package_config.h"

namespace lvm {

void CompletePackageConfig(TPackageConfig& config) {
    config.ProductShortName = "Lingvaro";
    config.CaptionRu = "Обновление Lingvaro";
    config.CaptionEn = "Lingvaro update";
    config.FullTitle = config.PackageTitle + PackageVersionText(config);
}

std::string PackageVersionText(const TPackageConfig& config) {
    return config.PackageVersionText.empty() ? std::to_string(config.PackageVersion) : config.PackageVersionText;
}

std::string PackageFileName(const TPackageConfig& config) {
    return config.ResourceName + "." + config.ResourceType;
}

}  // namespace lvm
