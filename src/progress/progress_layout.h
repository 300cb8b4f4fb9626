// Geometry of the progress window: fixed sizes and the centring rule, as plain
// values so they can be checked (and fuzzed) without Windows.
#pragma once

namespace lvm {

// Outer size of the main window, in pixels. Every show and hide restores it.
constexpr int kProgressWidth = 408;
constexpr int kProgressHeight = 76;

// A child's place in the main window's client area.
struct ChildRect {
    int x;
    int y;
    int width;
    int height;
};

constexpr ChildRect kTextLineRect{2, 2, 399, 20};
constexpr ChildRect kProgressBarRect{2, 24, 400, 20};

struct WindowOrigin {
    int left;
    int top;
};

// Where a window of `windowExtent` starts on a screen of `screenExtent`: the
// difference halved, fraction dropped. A screen smaller than the window gives 0,
// so the window's own top-left corner (and text) stays on the screen.
int CentredCoordinate(int screenExtent, int windowExtent);

// Top-left corner of the progress window on a screen of the given size.
WindowOrigin CentredProgressOrigin(int screenWidth, int screenHeight);

}  // namespace lvm
