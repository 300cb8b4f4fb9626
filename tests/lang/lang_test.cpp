// The choice of the run's language from the user's locale.
#include <gtest/gtest.h>

#include "lang/lang.h"

namespace lvm {
namespace {

TEST(LanguageChoice, SevenLocalesSelectRussianAndTheWholeIdentifierCounts) {
    for (uint32_t lcid : {1026u, 1049u, 1058u, 1059u, 1087u, 1092u, 2073u}) {
        EXPECT_TRUE(IsRussianLocale(lcid)) << lcid;
    }
    // English, German, the bare language id, and Russian with a non-default sort id.
    for (uint32_t lcid : {1033u, 1031u, 0u, 0x19u, 0x10419u, 0x10819u, 0x0819u + 0x100000u}) {
        EXPECT_FALSE(IsRussianLocale(lcid)) << lcid;
    }
}

}  // namespace
}  // namespace lvm
