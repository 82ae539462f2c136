// The conversions work sixteen bytes at a time where they can; these compare them with plain
// character-by-character forms of the same rules on random text, so that every way a
// character can sit across a block edge (a pair split by it, runs of lead bytes of either
// parity, half-width kana and single shifts that send a block to the character loop) is met.
#include "encoding/jconvert.h"
#include "text/func_token.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace jconvert;

namespace
{

using Byte = unsigned char;

std::string SjisToEucByCharacter(std::string_view in)
{
    std::string out;
    for (std::size_t i = 0; i < in.size();) {
        const Byte b = Byte(in[i]);
        if (b < 0x80) {
            out += char(b);
            ++i;
        } else if (b >= 0xA1 && b <= 0xDF) {
            out += '\x8e';
            out += char(b);
            ++i;
        } else {
            const Byte next = i + 1 < in.size() ? Byte(in[i + 1]) : 0;
            const auto [j1, j2] = SjisToJis(b, next);
            out += char(j1 | 0x80);
            out += char(j2 | 0x80);
            i += 2;
        }
    }
    return out;
}

std::string EucToSjisByCharacter(std::string_view in)
{
    std::string out;
    for (std::size_t i = 0; i < in.size();) {
        const Byte b = Byte(in[i]);
        const bool last = i + 1 == in.size();
        const Byte next = last ? 0 : Byte(in[i + 1]);
        if (b <= 0x80 || b == 0xFF) {
            out += char(b);
            ++i;
        } else if (b == 0x8E) {
            if (!last) out += char(next);
            i += 2;
        } else {
            const auto [s1, s2] = JisToSjis(b & 0x7F, next & 0x7F);
            out += char(s1);
            out += char(s2);
            i += 2;
        }
    }
    return out;
}

std::u16string UnitsByCharacter(std::string_view in);

bool WellFormedByCharacter(std::string_view in)
{
    for (std::size_t i = 0; i < in.size();) {
        const Byte b = Byte(in[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = b & 0x20 ? 3 : 2;
        for (std::size_t k = 1; k < len; ++k)
            if (i + k >= in.size() || (Byte(in[i + k]) & 0xC0) != 0x80) return false;
        i += len;
    }
    return UnitsByCharacter(in).find(u'\0') == std::u16string::npos;
}

// The decoder's rules on well-formed input, one 16-bit unit per character.
std::u16string UnitsByCharacter(std::string_view in)
{
    std::u16string units;
    for (std::size_t i = 0; i < in.size();) {
        const unsigned b0 = Byte(in[i]);
        if (b0 < 0x80) {
            units += char16_t(b0);
            ++i;
        } else if (b0 & 0x20) {
            units += char16_t((b0 & 0x0F) << 12 | (Byte(in[i + 1]) & 0x3F) << 6 | (Byte(in[i + 2]) & 0x3F));
            i += 3;
        } else {
            units += char16_t((b0 & 0x3F) << 6 | (Byte(in[i + 1]) & 0x3F));
            i += 2;
        }
    }
    return units;
}

// Random text from a palette of byte ranges; long runs of one range come up often, so a run
// of lead bytes crosses block edges with both parities.
struct Palette {
    const char *name;
    std::vector<std::pair<Byte, Byte>> ranges;
};

std::string RandomText(std::mt19937 &rng, const Palette &palette, std::size_t size)
{
    std::string s;
    s.reserve(size);
    while (s.size() < size) {
        const auto &[lo, hi] = palette.ranges[rng() % palette.ranges.size()];
        const std::size_t run = rng() % 4 == 0 ? 1 + rng() % 40 : 1 + rng() % 3;
        for (std::size_t k = 0; k < run && s.size() < size; ++k)
            s += char(lo + rng() % (hi - lo + 1));
    }
    return s;
}

// A copy in storage of exactly its size, so that a sanitizer build sees any read past the end.
struct ExactCopy {
    explicit ExactCopy(std::string_view s)
        : bytes(new char[s.size()])
        , view(bytes.get(), s.size())
    {
        std::copy(s.begin(), s.end(), bytes.get());
    }
    std::unique_ptr<char[]> bytes;
    std::string_view view;
};

std::size_t RandomSize(std::mt19937 &rng)
{
    // Mostly short (the tail loop and the first blocks), sometimes past an 8 KB step.
    return rng() % 10 == 0 ? 8000 + rng() % 9000 : rng() % 120;
}

} // namespace

TEST(JconvertBlocks, SjisAndEucAgreeWithTheCharacterRules)
{
    const Palette palettes[] = {
        { "japanese", { { 0x20, 0x7E }, { 0x81, 0x9F }, { 0x40, 0xFC }, { 0xE0, 0xEA }, { '\r', '\r' } } },
        { "lead_runs", { { 0x81, 0x9F }, { 0xE0, 0xFC }, { 0x41, 0x41 } } },
        { "half_width", { { 0xA1, 0xDF }, { 0x82, 0x82 }, { 0x9F, 0xA0 }, { 0x61, 0x7A } } },
        { "euc", { { 0xA1, 0xFE }, { 0x8E, 0x8E }, { 0x8F, 0x8F }, { 0x20, 0x7E }, { 0x80, 0x80 }, { 0xFF, 0xFF } } },
        { "every_byte", { { 0x00, 0xFF } } },
    };
    std::mt19937 rng(8);
    std::string reused = "old content";
    for (const Palette &palette : palettes) {
        for (int round = 0; round < 600; ++round) {
            const std::string generated = RandomText(rng, palette, RandomSize(rng));
            const ExactCopy exact(generated);
            const std::string_view text = exact.view;
            ASSERT_EQ(SjisToEuc(text), SjisToEucByCharacter(text)) << palette.name << ::testing::PrintToString(text);
            ASSERT_EQ(EucToSjis(text), EucToSjisByCharacter(text)) << palette.name << ::testing::PrintToString(text);
            // The forms that reuse a buffer replace what it held.
            SjisToEuc(text, reused);
            ASSERT_EQ(reused, SjisToEucByCharacter(text)) << palette.name;
            EucToSjis(text, reused);
            ASSERT_EQ(reused, EucToSjisByCharacter(text)) << palette.name;
        }
    }
}

// Where a block starts must not matter: the same text converted from every offset.
TEST(JconvertBlocks, EveryStartOffsetGivesTheSameCharacters)
{
    std::mt19937 rng(9);
    const Palette mixed { "mixed", { { 0x41, 0x5A }, { 0x81, 0x9F }, { 0xA1, 0xDF }, { 0xE0, 0xFC } } };
    const std::string text = RandomText(rng, mixed, 300);
    for (std::size_t from = 0; from < 40; ++from) {
        const std::string_view tail = std::string_view(text).substr(from);
        ASSERT_EQ(SjisToEuc(tail), SjisToEucByCharacter(tail)) << from;
        ASSERT_EQ(EucToSjis(tail), EucToSjisByCharacter(tail)) << from;
    }
}

TEST(IsWellFormedUtf8, Cases)
{
    const std::string a15(15, 'a'), a16(16, 'a');
    struct Row {
        const char *name;
        std::string in;
        bool wellFormed;
    };
    const Row rows[] = {
        { "empty", "", true },
        { "ascii", "a\r\n", true },
        { "hiragana", "\xe3\x81\x82", true },
        { "two_byte_form", "\xc3\xa9", true },
        { "lead_at_end", "a\xe3", false },
        { "cut_short", "\xe3\x81", false },
        { "shift_jis", "\x83\x41", false },
        { "four_byte_form", "\xf0\x9f\x98\x80", false },
        { "continuation_byte_as_lead", "\xa3\x81\x82", true },
        { "two_continuation_bytes", "\x80\x81", true },
        // Forms of U+0000: the NUL byte would end the text.
        { "overlong_nul", "\xc0\x80", false },
        { "nul_from_two_continuation_bytes", "\x80\x80", false },
        { "overlong_but_no_nul", "\xe0\x80\x81", true },
        { "nul_across_a_block_edge", a15 + "\xc0\x80", false },
        { "nul_after_blocks", a16 + a16 + "\xf0\x80\x80" + a15, false },
        { "stray_continuation", "a\x80", false },
        { "across_a_block_edge", a15 + "\xe3\x81\x82", true },
        { "across_a_block_edge_by_two", a15 + "a\xe3\x81\x82" + a15, true },
        { "lead_ends_a_block", a15 + "\xe3", false },
        { "cut_short_after_a_block", a16 + "\xe3\x81", false },
        { "stray_byte_after_blocks", a16 + a16 + "\x81" + a15, false },
        { "nonstandard_after_blocks", a16 + a16 + "\x8f\x81" + a15, true },
    };
    for (const Row &row : rows) {
        EXPECT_EQ(IsWellFormedUtf8(row.in), row.wellFormed) << row.name;
        EXPECT_EQ(WellFormedByCharacter(row.in), row.wellFormed) << row.name << " (the rule itself)";
    }
}

// The check says yes exactly when the converter accepts, on valid UTF-8 with random faults;
// and line-break normalization never changes the answer (the command line checks the raw
// input and converts the normalized one).
TEST(IsWellFormedUtf8, AgreesWithTheConverter)
{
    std::mt19937 rng(10);
    const auto character = [&rng]() -> std::string {
        switch (rng() % 8) {
        case 0:
            return std::string(1 + rng() % 20, char('a' + rng() % 26));
        case 1:
            return "\r\n";
        case 2:
            return rng() % 2 ? "\r" : "\n";
        case 3:
            return "\xc3\xa9";
        case 4:
            if (rng() % 16 == 0) return rng() % 2 ? "\xc0\x80" : "\xe0\x80\x80"; // refused: a NUL
            return rng() % 2 ? "\x8f\x81" : "\xa3\x81\x82"; // accepted, though not standard UTF-8
        case 5:
            return "\xed\xa0\xbd\xed\xb0\xbd"; // a surrogate pair: one '?'
        default:
            return std::string("\xe3") + char(0x80 + rng() % 64) + char(0x80 + rng() % 64);
        }
    };
    int accepted = 0, refused = 0;
    for (int round = 0; round < 6000; ++round) {
        std::string built;
        const std::size_t size = RandomSize(rng);
        do
            built += character();
        while (built.size() < size);
        switch (rng() % 5) {
        case 0:
            break;
        case 1:
            built.erase(rng() % built.size(), 1);
            break;
        case 2:
            built.insert(built.begin() + long(rng() % (built.size() + 1)), char(0x80 + rng() % 128));
            break;
        case 3:
            built[rng() % built.size()] = char(rng() % 256);
            break;
        default:
            built.resize(rng() % (built.size() + 1));
            break;
        }
        const ExactCopy exact(built.substr(0, built.find('\0')));
        const std::string_view text = exact.view;
        const bool wellFormed = IsWellFormedUtf8(text);
        std::string out = "old";
        ASSERT_EQ(Utf8ToSjis(text, out), wellFormed) << ::testing::PrintToString(text);
        ASSERT_EQ(out.empty(), !wellFormed || text.empty());
        if (wellFormed) {
            ASSERT_EQ(out, Utf16ToCp932(UnitsByCharacter(text))) << ::testing::PrintToString(text);
        }
        ASSERT_EQ(Utf8ToSjis(text).empty() && !text.empty(), !wellFormed);
        ASSERT_EQ(IsWellFormedUtf8(func_token::NormalizeLineBreaks(text)), wellFormed)
            << ::testing::PrintToString(text);
        (wellFormed ? accepted : refused)++;
    }
    EXPECT_GT(accepted, 1000);
    EXPECT_GT(refused, 1000);
}

// A high surrogate swallows a low one only right after it: an ASCII run between them (copied
// in one go by the block path) ends that, wherever the run sits in a 64-byte block.
TEST(Utf8ToSjisBlocks, SurrogateHalvesAroundAsciiRuns)
{
    const std::string high = "\xed\xa0\xbd", low = "\xed\xb0\xbd", kanji = "\xe4\xba\x9c";
    for (std::size_t lead = 0; lead < 70; lead += 3) {
        for (const std::size_t run : { 0, 1, 7, 16, 17, 40 }) {
            std::string text;
            for (std::size_t k = 0; k < lead / 3; ++k)
                text += kanji;
            text += high + std::string(run, 'a') + low;
            text += std::string(100, 'b'); // leaves the block path room to run
            const std::string converted = Utf8ToSjis(text);
            ASSERT_EQ(converted, Utf16ToCp932(UnitsByCharacter(text))) << lead << " " << run;
            ASSERT_EQ(std::count(converted.begin(), converted.end(), '?'), run == 0 ? 1 : 2) << lead << " " << run;
        }
    }
}
