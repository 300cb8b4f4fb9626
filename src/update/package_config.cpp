#include "update/package_config.h"

namespace lvm {

TPackageConfig PackageConfig;

void SetPackageValues() {
    // Begins with a double quote, has a second one after the 0 and ends in a blank.
    PackageConfig.PackageTitle = "\"Звуковые комментарии к оценке 0\" версии ";
    PackageConfig.ResourceName = "lvm0";
    PackageConfig.PackageVersion = 215;
}

void CompletePackageConfig() {
    PackageConfig.ProductShortName = "Lingvaro";
    PackageConfig.CaptionRu = "Обновление Lingvaro";
    PackageConfig.CaptionEn = "Lingvaro update";
    PackageConfig.FullTitle =
        PackageConfig.PackageTitle + std::to_string(PackageConfig.PackageVersion);
}

std::string PackageFileName() {
    return PackageConfig.ResourceName + "." + PackageConfig.ResourceType;
}

}  // namespace lvm
