#include "base/window_geometry.h"

#include <gtest/gtest.h>

#include <climits>

namespace
{

using window_geometry::Rect;

const Rect kLeft { 0, 0, 1024, 768 };
const Rect kRight { 1024, 0, 1280, 1024 };

struct FitCase {
    const char *name;
    Rect stored;
    std::vector<Rect> screens;
    Rect want;
};

TEST(FitOnScreens, KeepsWhatFitsAndBringsBackTheRest)
{
    const FitCase cases[] = {
        { "fits", { 100, 50, 600, 400 }, { kLeft }, { 100, 50, 600, 400 } },
        { "partly past the right edge, top edge reachable", { 800, 100, 500, 400 }, { kLeft }, { 800, 100, 500, 400 } },
        { "on the second screen", { 1500, 200, 700, 700 }, { kLeft, kRight }, { 1500, 200, 700, 700 } },
        { "across both screens, taller than the left one", { 900, 0, 300, 900 }, { kLeft, kRight },
            { 900, 0, 300, 900 } },
        { "on a screen since unplugged", { 1500, 200, 700, 700 }, { kLeft }, { 324, 68, 700, 700 } },
        { "far above and left", { -5000, -3000, 500, 500 }, { kLeft, kRight }, { 0, 0, 500, 500 } },
        { "top edge above the screen", { 100, -10, 500, 400 }, { kLeft }, { 100, 0, 500, 400 } },
        { "only a sliver on the screen", { 1020, 100, 500, 400 }, { kLeft }, { 524, 100, 500, 400 } },
        { "wider than the screen", { 100, 50, LONG_MAX, 400 }, { kLeft }, { 0, 50, 1024, 400 } },
        { "larger than the screen, stored far away", { LONG_MIN, LONG_MAX, LONG_MAX, LONG_MAX }, { kLeft, kRight },
            kRight },
        { "no screens known", { 5000, 5000, 10, 10 }, {}, { 5000, 5000, 10, 10 } },
    };
    for (const FitCase &c : cases) {
        const Rect got = window_geometry::FitOnScreens(c.stored, c.screens);
        EXPECT_EQ(got, c.want) << c.name << ": got " << got.x << ',' << got.y << ' ' << got.width << 'x' << got.height;
    }
}

TEST(PlaceBeside, RightWhereThereIsRoomElseBelow)
{
    const struct {
        const char *name;
        Rect main;
        Rect want;
    } cases[] = {
        { "room on the right", { 0, 0, 402, 525 }, { 402, 0, 562, 158 } },
        { "no room on the right", { 0, 0, 800, 500 }, { 0, 500, 562, 158 } },
        { "room on neither side: below, kept on the screen", { 300, 0, 700, 700 }, { 300, 610, 562, 158 } },
        { "main window partly above the screen", { 0, -50, 400, 300 }, { 400, 0, 562, 158 } },
    };
    for (const auto &c : cases) {
        const Rect got = window_geometry::PlaceBeside(c.main, 562, 158, kLeft);
        EXPECT_EQ(got, c.want) << c.name << ": got " << got.x << ',' << got.y;
    }
}

} // namespace
