// Geometry of the progress window: fixed sizes and the centring rule, as plain
// values so they can be checked (and fuzzed) without Windows.
#pragma once

#include "common/display_dpi.h"

namespace lvm {

// The sizes below are pixels at kDefaultDpi (100 % scaling); the window uses
// them scaled to the DPI of the monitor it stands on.

// Outer size of the main window. Every show and hide restores it.
constexpr int kProgressWidth = 408;
constexpr int kProgressHeight = 76;

// A child's place in the main window's client area.
struct TChildRect {
    int x;
    int y;
    int width;
    int height;
};

constexpr TChildRect kTextLineRect{2, 2, 399, 20};
constexpr TChildRect kProgressBarRect{2, 24, 400, 20};

// `pixels` at 96 DPI in pixels at `dpi`, rounded as Windows' MulDiv rounds
// (to the nearest, a half away from zero). A DPI of 0 or less, what a failed
// query reports, counts as 96.
int ScaleForDpi(int pixels, int dpi);
TChildRect ScaleForDpi(const TChildRect& rect, int dpi);

// The main window's outer rectangle.
struct TWindowPlacement {
    int left;
    int top;
    int width;
    int height;
};

// Where a window of `windowExtent` starts on a screen of `screenExtent`: the
// difference halved, fraction dropped. A screen smaller than the window gives 0,
// so the window's own top-left corner (and text) stays on the screen.
int CentredCoordinate(int screenExtent, int windowExtent);

// The progress window at `dpi`, centred on a screen of the given size (in
// pixels of that screen).
TWindowPlacement CentredProgressPlacement(int screenWidth, int screenHeight, int dpi);

}  // namespace lvm
