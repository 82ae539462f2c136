#include "text/byte_scan.h"

#include "support/random_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

TEST(ByteScan, SearchesMatchPlainLoopsOnRandomInput)
{
    std::mt19937 rng(3);
    const auto randomText
        = [&rng](std::size_t maxLength) { return random_text::RandomText(rng, "ab sS\r\n\x82\x9f", maxLength); };
    for (int round = 0; round < 5000; ++round) {
        const std::string text = randomText(100);
        const std::string needle = randomText(5);
        const char *begin = text.data();
        const char *end = begin + text.size();
        const auto at = [&](const char *p) { return static_cast<std::size_t>(p - begin); };

        const std::size_t found = needle.empty() ? text.size() : std::min(text.find(needle), text.size());
        ASSERT_EQ(at(byte_scan::FindBytes(begin, end, needle)), found) << round;
        ASSERT_EQ(at(byte_scan::FindEither(begin, end, '\r', '\n')), std::min(text.find_first_of("\r\n"), text.size()));
        std::size_t spaceS = text.size();
        for (std::size_t i = 0; i + 1 < text.size() && spaceS == text.size(); ++i) {
            if (text[i] == ' ' && (text[i + 1] == 's' || text[i + 1] == 'S')) spaceS = i;
        }
        ASSERT_EQ(at(byte_scan::FindSpaceS(begin, end)), spaceS) << round;
        const std::size_t from = rng() % (text.size() + 2);
        ASSERT_EQ(byte_scan::NextOfEither(text, from, 's', 'S'), std::min(text.find_first_of("sS", from), text.size()));
    }
}
