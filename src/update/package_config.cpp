#include "update/package_config.h"

namespace lvm {

void SetPackageValues(TPackageConfig& config) {
    // Begins with a double quote, has a second one after the 0 and ends in a blank.
    config.PackageTitle = "\"Звуковые комментарии к оценке 0\" версии ";
    config.ResourceName = "lvm0";
    config.PackageVersion = 215;
}

void CompletePackageConfig(TPackageConfig& config) {
    config.ProductShortName = "Lingvaro";
    config.CaptionRu = "Обновление Lingvaro";
    config.CaptionEn = "Lingvaro update";
    config.FullTitle = config.PackageTitle + std::to_string(config.PackageVersion);
}

std::string PackageFileName(const TPackageConfig& config) {
    return config.ResourceName + "." + config.ResourceType;
}

}  // namespace lvm
