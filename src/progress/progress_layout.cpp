#include "progress/progress_layout.h"

namespace lvm {

int ScaleForDpi(int pixels, int dpi) {
    if (dpi <= 0) dpi = kDefaultDpi;
    // In 64 bits, as MulDiv computes: no product of an int and a DPI overflows.
    const long long product = static_cast<long long>(pixels) * dpi;
    const long long half = kDefaultDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / kDefaultDpi
                                         : (product - half) / kDefaultDpi);
}

TChildRect ScaleForDpi(const TChildRect& rect, int dpi) {
    return {ScaleForDpi(rect.x, dpi), ScaleForDpi(rect.y, dpi), ScaleForDpi(rect.width, dpi),
            ScaleForDpi(rect.height, dpi)};
}

int CentredCoordinate(int screenExtent, int windowExtent) {
    // Compared before subtracting: a negative or absurd screen size from a
    // broken metrics call must not overflow into a huge positive origin.
    if (screenExtent <= windowExtent) return 0;
    return static_cast<int>((static_cast<long long>(screenExtent) - windowExtent) / 2);
}

TWindowPlacement CentredProgressPlacement(int screenWidth, int screenHeight, int dpi) {
    const int width = ScaleForDpi(kProgressWidth, dpi);
    const int height = ScaleForDpi(kProgressHeight, dpi);
    return {CentredCoordinate(screenWidth, width), CentredCoordinate(screenHeight, height), width,
            height};
}

}  // namespace lvm
