#include "text/item_width.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

// "W" is three units wide, any other byte one, a double-byte character two. After each step
// (adding or removing one item) the widest width of the list as it then stands.
TEST(WidestItem, FollowsAddsAndRemoves)
{
    item_width::CharWidths w;
    w.single.fill(1);
    w.single['W'] = 3;
    w.pair = 2;
    EXPECT_EQ(item_width::ItemWidth("aW\x82\xa0\x82\n\x83", w), 9u); // lead bytes without a trail count alone
    const struct {
        char op;
        const char *item;
        std::uint64_t want;
    } steps[] = { { '+', "aaa", 3 }, { '+', "WW", 6 }, { '+', "WW", 6 }, { '+', "\x82\xa0", 6 },
        { '-', "WW", 6 }, // the other one is as wide
        { '-', "WW", 3 }, // the last of the widest: measured again
        { '-', "aaa", 2 }, { '-', "\x82\xa0", 0 }, { '+', "", 0 }, { '+', "WWWW", 12 } };
    func_token::StringList items;
    item_width::WidestItem widest;
    widest.setCharWidths(w, items);
    for (const auto &step : steps) {
        if (step.op == '+') {
            items.push_back(step.item);
            widest.add(step.item);
        } else {
            items.erase(std::find(items.begin(), items.end(), step.item));
            widest.remove(step.item);
        }
        EXPECT_EQ(widest.widest(items), step.want) << step.op << step.item;
    }
}

} // namespace
