#include "text/item_width.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

using func_token::StringList;
using item_width::CharWidths;
using item_width::ItemWidth;
using item_width::WidestItem;

CharWidths Widths()
{
    CharWidths w;
    w.single.fill(1);
    w.single['W'] = 3;
    w.pair = 2;
    return w;
}

TEST(ItemWidth, CountsPairsOnceAndStrayLeadBytesAlone)
{
    EXPECT_EQ(ItemWidth("aW\x82\xa0", Widths()), 1u + 3 + 2);
    EXPECT_EQ(ItemWidth("a\x82", Widths()), 2u); // a lead byte at the end
    EXPECT_EQ(ItemWidth("\x82\n\x83\x7f", Widths()), 4u); // lead bytes without a trail byte
}

// The widest width after each change of the list, the list kept by the test.
TEST(WidestItem, FollowsAddsAndRemoves)
{
    const struct {
        bool add;
        const char *item;
        std::uint64_t want;
    } steps[] = {
        { true, "aaa", 3 },
        { true, "WW", 6 },
        { true, "WW", 6 },
        { true, "\x82\xa0", 6 },
        { false, "WW", 6 }, // the other one is as wide
        { false, "aaa", 6 },
        { false, "WW", 2 }, // the last of the widest: measured again
        { true, "", 2 },
        { false, "\x82\xa0", 0 },
        { false, "", 0 },
        { true, "WWWW", 12 },
    };
    StringList items;
    WidestItem widest;
    widest.setCharWidths(Widths(), items);
    for (const auto &step : steps) {
        if (step.add) {
            items.push_back(step.item);
            widest.add(step.item);
        } else {
            items.erase(std::find(items.begin(), items.end(), step.item));
            widest.remove(step.item);
        }
        EXPECT_EQ(widest.widest(items), step.want) << (step.add ? "after adding " : "after removing ") << step.item;
    }
    widest.reset({ "a", "b" });
    EXPECT_EQ(widest.widest(items), 1u);
}

} // namespace
