#include <gtest/gtest.h>

#include <climits>

#include "progress/progress_layout.h"

namespace lvm {
namespace {

TEST(ProgressLayout, CentresWithTheFractionDroppedAndNeverLeavesTheScreen) {
    struct Case {
        int screenWidth, screenHeight;
        int left, top;
        int dpi = 96, width = 408, height = 76;
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
        // Scaled to the monitor's DPI as MulDiv rounds, then centred the same way.
        {1024, 768, 206, 327, 144, 612, 114},  // 150 %
        {1024, 768, 282, 341, 108, 459, 86},   // 85.5 rounds up
    };
    for (const Case& c : cases) {
        const TWindowPlacement place = CentredProgressPlacement(c.screenWidth, c.screenHeight, c.dpi);
        SCOPED_TRACE(testing::Message() << c.screenWidth << "x" << c.screenHeight << " at " << c.dpi);
        EXPECT_EQ(place.left, c.left);
        EXPECT_EQ(place.top, c.top);
        EXPECT_EQ(place.width, c.width);
        EXPECT_EQ(place.height, c.height);
    }
}

}  // namespace
}  // namespace lvm
