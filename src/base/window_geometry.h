#pragma once
// Where windows go on the screens: a stored place checked against the screens of today, and the
// control panel's first place beside the main window. Rectangles are a window's outer frame in
// screen pixels; screens are given by their available areas (without panels and docks).
#include <cstdint>
#include <vector>

namespace window_geometry
{

struct Rect {
    std::int64_t x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const Rect &, const Rect &) = default;
};

// How much of a window's top edge must lie on a screen for the user to grab it there.
inline constexpr std::int64_t kGrip = 32;

// A window restored from stored values. Values that fit are kept as they are: the window is no
// larger than the screen it lies on most, and its top edge can be grabbed on some screen. Else it
// is made to fit that screen (or, lying on none, the nearest one) and moved wholly onto it.
Rect FitOnScreens(const Rect &window, const std::vector<Rect> &screens);

// The first place of a window of the given size beside the main window: to its right, top edges
// aligned, where the screen has room; else below it, left edges aligned; either way on the screen.
Rect PlaceBeside(const Rect &main, std::int64_t width, std::int64_t height, const Rect &screen);

} // namespace window_geometry
