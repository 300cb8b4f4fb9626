#include "progress/progress_layout.h"

namespace lvm {

int CentredCoordinate(int screenExtent, int windowExtent) {
    // Compared before subtracting: a negative or absurd screen size from a
    // broken metrics call must not overflow into a huge positive origin.
    if (screenExtent <= windowExtent) return 0;
    return static_cast<int>((static_cast<long long>(screenExtent) - windowExtent) / 2);
}

WindowOrigin CentredProgressOrigin(int screenWidth, int screenHeight) {
    return {CentredCoordinate(screenWidth, kProgressWidth),
            CentredCoordinate(screenHeight, kProgressHeight)};
}

}  // namespace lvm
