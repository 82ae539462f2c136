// Pages converted to Shift_JIS: the charset from the header, the <meta> prescan, a byte-order
// mark or detection, and characters Shift_JIS lacks as references.
#include "encoding/jconvert.h"
#include "encoding/page_convert.h"

#include <gtest/gtest.h>

namespace
{

using page_charset::Source;

// Japanese prose with NEC row 13 characters (①, ⑩), a wave dash and a horizontal bar.
const std::string kSjis = jconvert::Utf8ToSjis("日本語のページです。リンク集とダウンロードの説明を書きました。"
                                               "画像は①から⑩まで、記号は～と―です。");

// The same text in ISO-2022-JP, made from the EUC-JP form by hand.
std::string Iso2022Jp(const std::string &euc)
{
    std::string out;
    bool wide = false;
    for (const char c : euc) {
        const bool high = static_cast<unsigned char>(c) >= 0x80;
        if (high != wide) out += high ? "\x1B$B" : "\x1B(B";
        wide = high;
        out += static_cast<char>(c & 0x7F);
    }
    return wide ? out + "\x1B(B" : out;
}

std::string Page(const std::string &head, const std::string &text)
{
    return "<html><head>" + head + "<title>t</title></head><body><p>" + text + text + text + "</p></body></html>";
}

TEST(PageCharset, PagesOfEveryJapaneseCodeBecomeTheSameShiftJis)
{
    const std::string euc = jconvert::SjisToEuc(kSjis);
    const std::string codes[][2] = { { "UTF-8", jconvert::SjisToUtf8(kSjis) }, { "EUC-JP", euc },
        { "ISO-2022-JP", Iso2022Jp(euc) }, { "SHIFT_JIS", kSjis } };
    for (const auto &[name, text] : codes) {
        const struct {
            std::string contentType, head;
            Source source;
        } ways[] = {
            { "text/html; charset=\"" + name + "\"", "", Source::Header },
            { "text/html", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + name + "\">",
                Source::Meta },
            { "", "<!-- <meta charset=bogus> --><meta charset='" + name + "'>", Source::Meta },
            { "text/html; charset=no-such-code", "", Source::Detected },
        };
        for (const auto &way : ways) {
            SCOPED_TRACE(name + " via " + way.contentType + way.head);
            const page_convert::Converted got = page_convert::ToShiftJis(Page(way.head, text), way.contentType);
            EXPECT_EQ(got.charset.name, name);
            EXPECT_EQ(got.charset.source, way.source);
            const std::string headInSjis = way.source == Source::Meta ? way.head : "";
            EXPECT_EQ(got.text, Page(headInSjis, kSjis));
        }
    }
}

TEST(PageCharset, ConversionKeepsWhatShiftJisCannotHoldAsReferences)
{
    const struct {
        const char *name;
        std::string contentType, page, want;
    } cases[] = {
        { "emoji", "text/html; charset=utf-8",
            "a\xF0\x9F\x98\x80"
            "b",
            "a&#x1F600;b" },
        { "latin letter", "text/plain;charset=UTF-8", "caf\xC3\xA9", "caf&#xE9;" },
        { "invalid UTF-8 byte", "text/html; charset=utf-8",
            "a\xFF"
            "b",
            "a&#xFFFD;b" },
        { "UTF-8 BOM dropped", "", "\xEF\xBB\xBF\xE3\x81\x82", "\x82\xA0" },
        { "UTF-16LE BOM", "", std::string("\xFF\xFE\x42\x30<\0", 6), "\x82\xA0<" },
        { "header wins over meta", "text/html; charset=EUC-JP", "<meta charset=utf-8>\xA4\xA2",
            "<meta charset=utf-8>\x82\xA0" },
        { "meta content without http-equiv ignored", "", "<meta content=\"charset=euc-jp\">\xE3\x81\x82",
            "<meta content=\"charset=euc-jp\">\x82\xA0" },
        { "Shift_JIS kept byte for byte", "text/html; charset=Windows-31J", "\x5C\x7E\x82\x80\xFF\xA0",
            "\x5C\x7E\x82\x80\xFF\xA0" },
        { "JIS X 0212 in EUC-JP", "text/html; charset=euc-jp", "\x8F\xB0\xA1", "&#x4E02;" },
        { "half-width katakana in ISO-2022-JP", "text/html; charset=iso-2022-jp", "\x1B(I\x31\x1B(B.", "\xB1." },
    };
    for (const auto &c : cases)
        EXPECT_EQ(page_convert::ToShiftJis(c.page, c.contentType).text, c.want) << c.name;
}

} // namespace
