#include "base/window_geometry.h"

#include <algorithm>

namespace window_geometry
{
namespace
{

std::int64_t overlap(std::int64_t start1, std::int64_t length1, std::int64_t start2, std::int64_t length2)
{
    return std::max<std::int64_t>(0, std::min(start1 + length1, start2 + length2) - std::max(start1, start2));
}

// Gap between two ranges, 0 when they touch or overlap.
std::int64_t gap(std::int64_t start1, std::int64_t length1, std::int64_t start2, std::int64_t length2)
{
    return std::max<std::int64_t>({ 0, start2 - (start1 + length1), start1 - (start2 + length2) });
}

// Stored values may be anything a long holds; kept to a billion pixels, nothing here overflows.
std::int64_t clampedLength(std::int64_t length)
{
    return std::clamp<std::int64_t>(length, 0, std::int64_t(1) << 30);
}
std::int64_t clampedStart(std::int64_t start)
{
    return std::clamp<std::int64_t>(start, -(std::int64_t(1) << 30), std::int64_t(1) << 30);
}

bool topEdgeReachable(const Rect &window, const Rect &screen)
{
    return window.y >= screen.y && window.y <= screen.y + screen.height - kGrip
        && overlap(window.x, window.width, screen.x, screen.width) >= std::min(kGrip, window.width);
}

// Moves a window of the given size wholly onto the screen, as little as possible.
Rect moveOnto(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height, const Rect &screen)
{
    return { std::clamp(x, screen.x, std::max(screen.x, screen.x + screen.width - width)),
        std::clamp(y, screen.y, std::max(screen.y, screen.y + screen.height - height)), width, height };
}

} // namespace

Rect FitOnScreens(const Rect &stored, const std::vector<Rect> &screens)
{
    if (screens.empty()) return stored;
    const Rect window { clampedStart(stored.x), clampedStart(stored.y), clampedLength(stored.width),
        clampedLength(stored.height) };

    // The screen the window lies on most, or the nearest one when it lies on none.
    const Rect *target = &screens.front();
    std::int64_t bestArea = -1, bestDistance = -1;
    for (const Rect &screen : screens) {
        const std::int64_t area = overlap(window.x, window.width, screen.x, screen.width)
            * overlap(window.y, window.height, screen.y, screen.height);
        const std::int64_t dx = gap(window.x, window.width, screen.x, screen.width);
        const std::int64_t dy = gap(window.y, window.height, screen.y, screen.height);
        const std::int64_t distance = dx * dx + dy * dy;
        if (area > bestArea || (area == 0 && bestArea == 0 && distance < bestDistance)) {
            target = &screen;
            bestArea = area;
            bestDistance = distance;
        }
    }

    const std::int64_t width = std::min(window.width, target->width);
    const std::int64_t height = std::min(window.height, target->height);
    const bool reachable = std::any_of(
        screens.begin(), screens.end(), [&](const Rect &screen) { return topEdgeReachable(window, screen); });
    if (width == window.width && height == window.height && reachable) return stored;
    return moveOnto(window.x, window.y, width, height, *target);
}

Rect PlaceBeside(const Rect &main, std::int64_t width, std::int64_t height, const Rect &screen)
{
    const std::int64_t right = main.x + main.width;
    if (right + width <= screen.x + screen.width) return moveOnto(right, main.y, width, height, screen);
    return moveOnto(main.x, main.y + main.height, width, height, screen);
}

} // namespace window_geometry
