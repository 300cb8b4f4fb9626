// The package's fixed configuration: generated whole for each installer from
// its package description (tools/check_package.py), made once at the entry
// and read-only from there on.
#pragma once

#include <cstdint>
#include <string>

namespace lvm {

struct TPackageConfig {
    std::string PackageTitle;
    std::string ResourceName;
    std::string ResourceType;
    // ResourceName + "." + ResourceType: the file the package is installed as.
    std::string PackageFileName;
    // Stored as two resources, ResourceName + "1" and + "2", written one after
    // the other and never compared with an installed file.
    bool SplitPackage = false;
    // The numeric kinds' version; 0 for "exe", whose version is its FileVersion text.
    int32_t PackageVersion = 0;
    // The version as the title and the log show it.
    std::string PackageVersionText;
    // PackageTitle followed by PackageVersionText.
    std::string FullTitle;
    std::string ProductShortName;
    // The application's file in its installation folder.
    std::string ApplicationExecutable;
    std::string MainWindowClass;
    std::string CaptionEn;
    std::string CaptionRu;
};

// This executable's package: generated from its description.
TPackageConfig PackageValues();

}  // namespace lvm
