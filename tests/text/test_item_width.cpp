#include "text/item_width.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

// "W" is three units wide, any other byte one, a double-byte character two. Each step adds (+) or
// removes (-) one item; then the widest width of the list as it stands. Removing one of two
// widest items keeps the width; removing the last one measures the list again.
TEST(WidestItem, FollowsAddsAndRemoves)
{
    item_width::CharWidths w;
    w.single.fill(1);
    w.single['W'] = 3;
    w.pair = 2;
    EXPECT_EQ(item_width::ItemWidth("aW\x82\xa0\x82\n\x83", w), 9u); // lead bytes without a trail count alone
    const std::pair<std::string, std::uint64_t> steps[] = { { "+aaa", 3 }, { "+WW", 6 }, { "+WW", 6 },
        { "+\x82\xa0", 6 }, { "-WW", 6 }, { "-WW", 3 }, { "-aaa", 2 }, { "-\x82\xa0", 0 }, { "+WWWW", 12 } };
    func_token::StringList items;
    item_width::WidestItem widest;
    widest.setCharWidths(w, items);
    for (const auto &[step, want] : steps) {
        const std::string item = step.substr(1);
        if (step[0] == '+') {
            items.push_back(item);
            widest.add(item);
        } else {
            items.erase(std::find(items.begin(), items.end(), item));
            widest.remove(item);
        }
        EXPECT_EQ(widest.widest(items), want) << step;
    }
}

} // namespace
