// Inputs found by fuzzing, kept as regressions.
//
// An empty std::string_view may carry no storage at all (data() == nullptr). Every core
// function must treat it exactly like an empty string that has storage: the C library's
// memchr and memmem must not be handed a null pointer, even with a length of zero.
#include "encoding/editor_codec.h"
#include "encoding/jconvert.h"
#include "encoding/page_convert.h"
#include "encoding/url_codec.h"
#include "extract/extraction.h"
#include "extract/html_links.h"
#include "settings/func_save.h"
#include "settings/ini_file.h"
#include "tables/cnv_table.h"
#include "text/func_lanzo.h"
#include "text/func_token.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{

using func_token::StringList;

std::string Joined(const StringList &list)
{
    std::string out = std::to_string(list.size()) + ":";
    for (const std::string &item : list)
        out += item + "|";
    return out;
}

std::string Utf16Bytes(const std::u16string &text)
{
    return std::string(reinterpret_cast<const char *>(text.data()), text.size() * 2);
}

struct EmptyViewCase {
    const char *name;
    // Summarises what the function makes of the view it is given.
    std::function<std::string(std::string_view)> run;
};

void PrintTo(const EmptyViewCase &c, std::ostream *os)
{
    *os << c.name;
}

class EmptyViewWithoutStorage : public ::testing::TestWithParam<EmptyViewCase>
{
};

TEST_P(EmptyViewWithoutStorage, ActsLikeAnEmptyString)
{
    const std::string_view none;
    ASSERT_EQ(none.data(), nullptr);
    const std::string stored;
    EXPECT_EQ(GetParam().run(none), GetParam().run(stored));
}

const StringList kSome = { "http://a/", "", "[1-2]x" };

INSTANTIATE_TEST_SUITE_P(CoreFunctions, EmptyViewWithoutStorage,
    ::testing::Values(
        EmptyViewCase { "CharCount", [](std::string_view v) { return std::to_string(func_token::CharCount(v)); } },
        EmptyViewCase { "SplitTabFields",
            [](std::string_view v) {
                StringList l;
                func_token::SplitTabFields(l, v);
                return Joined(l);
            } },
        EmptyViewCase { "SplitTokens",
            [](std::string_view v) {
                StringList l;
                func_token::SplitTokens(l, v, v);
                func_token::SplitTokens(l, "a b", v);
                return Joined(l);
            } },
        EmptyViewCase { "SplitLines", [](std::string_view v) { return Joined(func_token::SplitLines(v)); } },
        EmptyViewCase { "NormalizeLineBreaks", [](std::string_view v) { return func_token::NormalizeLineBreaks(v); } },
        EmptyViewCase { "Comparisons",
            [](std::string_view v) {
                return std::to_string(func_token::HasPrefix(v, "ab")) + std::to_string(func_token::HasSuffix(v, "ab"))
                    + std::to_string(func_token::ContainsText("ab", v)) + std::to_string(func_token::ContainsText(v, v))
                    + std::to_string(func_token::ContainsTextIgnoreCase("ab", v))
                    + std::to_string(func_token::ContainsTextIgnoreCase(v, "a"));
            } },
        EmptyViewCase { "Replace",
            [](std::string_view v) {
                return func_token::ReplaceAll(v, "a", "b") + "|" + func_token::ReplaceAll("abc", v, "x") + "|"
                    + func_token::ReplaceAll("abc", "b", v) + "|" + func_token::ReplaceAllIgnoreCase(v, "a", "b") + "|"
                    + func_token::ReplaceAllIgnoreCase("abc", v, "x");
            } },
        EmptyViewCase { "TrimAndMid",
            [](std::string_view v) {
                return std::string(func_token::TrimBlanks(v)) + "|" + func_token::MidChars(v, 1, 3) + "|"
                    + func_token::LeftChars(v, 2) + "|" + func_token::CharAt(v, 1);
            } },
        EmptyViewCase { "CorrectUrl",
            [](std::string_view v) {
                return func_lanzo::CorrectUrl(v, "a.html").value_or("none") + "|"
                    + func_lanzo::CorrectUrl("http://h/d/p.html", v).value_or("none");
            } },
        EmptyViewCase { "Expansion",
            [](std::string_view v) {
                return func_lanzo::ExpandSequence(v) + "|" + std::to_string(func_lanzo::ExpandedLineCount(v));
            } },
        EmptyViewCase { "Cleanup",
            [](std::string_view v) {
                return Joined(func_lanzo::CutOutTags(v)) + Joined(func_lanzo::RemoveTags(v))
                    + func_lanzo::CutOutTagsText(v) + func_lanzo::RemoveTagsText(v) + func_lanzo::TrimLinesText(v)
                    + func_lanzo::DeleteEmptyLinesText(v) + func_lanzo::CleanText(v);
            } },
        EmptyViewCase { "PanelHelpers",
            [](std::string_view v) {
                StringList history = kSome;
                func_lanzo::AddComboHistory(history, v);
                const auto found = func_lanzo::FindInSource(v, "a", 0);
                const auto found2 = func_lanzo::FindInSource("abc", v, 0);
                return Joined(history) + std::to_string(found.has_value()) + std::to_string(found2.has_value())
                    + std::to_string(func_lanzo::SelectMatchingItems(kSome, v).size());
            } },
        EmptyViewCase { "Extraction",
            [](std::string_view v) {
                extraction::Conditions c;
                c.prefixes = { "http" };
                StringList tokens, tokens2;
                extraction::ExtractTokens(tokens, v);
                extraction::ExtractTextTokens(tokens2, v);
                std::string_view kept;
                const bool match = extraction::MatchToken(v, c, kept);
                return extraction::FlattenLines(v) + "|" + extraction::PrepareText(v) + "|"
                    + std::to_string(extraction::PreparedLength(v)) + Joined(tokens) + Joined(tokens2)
                    + std::to_string(match) + Joined(extraction::FilterTokens(v, c))
                    + Joined(extraction::RunExtraction(v, c, {}).urls);
            } },
        EmptyViewCase { "HtmlLinks",
            [](std::string_view v) {
                StringList tags;
                html_links::CollectTags(tags, v);
                return html_links::PrepareHtmlText(v) + Joined(tags) + html_links::PickLink(v).value_or("none")
                    + Joined(html_links::ExtractLinks(v).links);
            } },
        EmptyViewCase { "Jconvert",
            [](std::string_view v) {
                return jconvert::EucToSjis(v) + jconvert::SjisToEuc(v) + jconvert::Utf8ToSjis(v)
                    + jconvert::SjisToUtf8(v) + Utf16Bytes(jconvert::Cp932ToUtf16(v))
                    + jconvert::Utf16ToCp932(std::u16string_view()) + jconvert::SjisToUtf8Name(v)
                    + jconvert::Utf8ToSjisName(v) + std::to_string(jconvert::IsWellFormedUtf8(v))
                    + page_convert::ToShiftJis(v, v).text + page_convert::Iso2022JpToEucJp(v);
            } },
        EmptyViewCase { "UrlCodec",
            [](std::string_view v) {
                std::string out = url_codec::UrlEncode(v) + url_codec::UrlDecode(v).value_or("?")
                    + url_codec::EncodeWhole(v) + url_codec::EncodeWholeLines(v) + url_codec::EncodeSelectionLines(v);
                for (const auto decode :
                    { url_codec::DecodeWhole, url_codec::DecodeWholeLines, url_codec::DecodeSelectionLines }) {
                    std::string text;
                    out += std::to_string(decode(v, text).has_value()) + text + "|";
                }
                return out;
            } },
        EmptyViewCase { "EditorCodec",
            [](std::string_view v) {
                return Utf16Bytes(editor_codec::Decode(v)) + Utf16Bytes(editor_codec::DecodeLine(v))
                    + editor_codec::Encode(std::u16string_view()) + editor_codec::EncodeLine(std::u16string_view());
            } },
        EmptyViewCase { "Tables",
            [](std::string_view v) {
                StringList before, after;
                cnv_table::ParseCnvTable(v, before, after);
                std::string text;
                cnv_table::ApplyPairs(text, { std::string(v) }, { "x" }, nullptr);
                return Joined(before) + Joined(after) + text + cnv_table::TableNameFromPath(v);
            } },
        EmptyViewCase { "ControlState",
            [](std::string_view v) {
                func_save::CtrlPanelState ctrl;
                func_save::ApplySetIni(ctrl, v);
                func_save::SetDialogState set;
                func_save::ApplySet2Ini(set, v);
                std::string text = "kept";
                const bool loaded = func_save::LoadEditState(text, v);
                return func_save::WriteSetIni(ctrl) + func_save::WriteSet2Ini(set) + Joined(func_save::RecordLines(v))
                    + std::string(func_save::RecordName(v)) + func_save::SaveEditState(v, v) + text
                    + std::to_string(loaded);
            } },
        EmptyViewCase { "IniFile",
            [](std::string_view v) {
                ini_file::IniFile ini(v);
                ini.WriteString(v, v, v);
                long n = 7;
                const bool parsed = ini_file::ParseIniInteger(v, n);
                return ini.serialize() + ini.ReadString("a", "b", v) + std::to_string(parsed) + std::to_string(n);
            } }),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
