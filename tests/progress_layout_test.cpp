#include <gtest/gtest.h>

#include <climits>

#include "progress/progress_layout.h"

namespace lvm {
namespace {

TEST(ProgressLayout, CentresWithTheFractionDroppedAndNeverLeavesTheScreen) {
    struct Case {
        int screenWidth, screenHeight;
        int left, top;
    };
    const Case cases[] = {
        {1024, 768, 308, 346},
        {1025, 769, 308, 346},    // odd differences: the half pixel is dropped
        {1920, 1080, 756, 502},
        {409, 77, 0, 0},          // one pixel to spare: half of it is nothing
        {408, 76, 0, 0},          // exactly the window's size
        {320, 60, 0, 0},          // smaller than the window: at 0, not off-screen
        {0, 0, 0, 0},             // a failed metrics call reports 0
        {-5, -5, 0, 0},
        {INT_MAX, INT_MAX, (INT_MAX - 408) / 2, (INT_MAX - 76) / 2},
    };
    for (const Case& c : cases) {
        const WindowOrigin origin = CentredProgressOrigin(c.screenWidth, c.screenHeight);
        EXPECT_EQ(origin.left, c.left) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(origin.top, c.top) << c.screenWidth << "x" << c.screenHeight;
    }
}

}  // namespace
}  // namespace lvm
