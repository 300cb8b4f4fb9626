// The package values the build generates for the default package.
#include <gtest/gtest.h>

#include "update/package_config.h"

namespace lvm {
namespace {

TEST(PackageConfiguration, TitleAndCaptionsAreTheShippedTexts) {
    const TPackageConfig config = PackageValues();
    EXPECT_EQ(config.FullTitle, "\"Звуковые комментарии к оценке 0\" версии 215");
    EXPECT_EQ(config.PackageFileName, "lvm0.pak");
    EXPECT_EQ(config.MainWindowClass, "TLVMainForm");
    EXPECT_EQ(config.PackageVersion, 215);
    EXPECT_EQ(config.PackageVersionText, "215");
    EXPECT_EQ(config.CaptionEn, "Lingvaro update");
    EXPECT_EQ(config.CaptionRu, "Обновление Lingvaro");
    EXPECT_EQ(config.ProductShortName, "Lingvaro");
    EXPECT_EQ(config.ApplicationExecutable, "Lingvaro.exe");
    EXPECT_FALSE(config.SplitPackage);
}

}  // namespace
}  // namespace lvm
