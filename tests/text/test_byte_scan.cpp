#include "text/byte_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

TEST(ByteScan, SearchesMatchPlainLoopsOnRandomInput)
{
    std::mt19937 rng(3);
    static const char alphabet[] = { 'a', 'b', ' ', 's', 'S', '\r', '\n', '\x82', '\x9f' };
    std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 1);
    auto randomText = [&](std::size_t maxLength) {
        std::string text(rng() % (maxLength + 1), ' ');
        for (char &c : text)
            c = alphabet[pick(rng)];
        return text;
    };
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
