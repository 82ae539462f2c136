#include "text/func_lanzo.h"

#include "text/byte_scan.h"
#include "text/key_sort.h"
#include "text/text_stream.h"
#include "text/url_reference.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

namespace func_lanzo
{

using func_token::ContainsText;
using func_token::IsLeadByte;
using func_token::SplitTokens;
using func_token::TrimBlanks;

namespace
{

using Byte = unsigned char;

std::size_t findBytes(std::string_view text, std::string_view key, std::size_t from, std::size_t end)
{
    if (end > text.size()) end = text.size();
    if (from > end || key.size() > end - from) return std::string_view::npos;
    const void *hit = ::memmem(text.data() + from, end - from, key.data(), key.size());
    return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - text.data()) : std::string_view::npos;
}

// ---- Sequence expansion helpers -------------------------------------------------------

// The string-to-integer conversion of the range fields: optional blanks, an optional sign,
// then decimal digits, or hexadecimal digits after "$", "x" or "0x". Decimal values must fit
// a signed 32-bit integer; hexadecimal ones may use all 32 bits and wrap ($FFFFFFFF is -1).
std::optional<std::int32_t> strToInt(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    bool hex = false;
    if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == s.size()) return std::nullopt;
    std::uint64_t value = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    if (hex) {
        std::uint32_t bits = static_cast<std::uint32_t>(value);
        if (negative) bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }
    const std::int64_t signedValue = negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
    if (signedValue < std::numeric_limits<std::int32_t>::min()
        || signedValue > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(signedValue);
}

struct Range {
    std::string_view left; // bytes before the "["
    std::string_view right; // bytes after the "]"
    std::int32_t start = 0;
    std::int32_t end = 0;
    int width = 0;

    std::uint64_t lineCount() const
    {
        return start > end ? 1 : static_cast<std::uint64_t>(static_cast<std::int64_t>(end) - start) + 1;
    }
};

// The first [start-end] range of a line, or nullopt when the line is not expanded.
std::optional<Range> parseRange(std::string_view line, func_token::StringList &scratch)
{
    // Most lines hold no '[' byte at all; they need no walk.
    if (line.empty() || std::memchr(line.data(), '[', line.size()) == nullptr) return std::nullopt;
    // "[" and "]" are searched character by character: 0x5B and 0x5D are also trail bytes.
    std::size_t open = std::string_view::npos;
    std::size_t close = std::string_view::npos;
    for (std::size_t i = 0; i < line.size();) {
        const char c = line[i];
        if (c == '[' && open == std::string_view::npos)
            open = i;
        else if (c == ']' && close == std::string_view::npos)
            close = i;
        if (open != std::string_view::npos && close != std::string_view::npos) break;
        i += (IsLeadByte(static_cast<Byte>(c)) && i + 1 < line.size()) ? 2 : 1;
    }
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return std::nullopt;

    std::string_view startText, endText;
    const std::string_view inside = line.substr(open + 1, close - open - 1);
    if (std::all_of(
            inside.begin(), inside.end(), [](char c) { return (c >= '0' && c <= '9') || c == '-' || c == ' '; })) {
        // The usual "[00-49]": digit runs between blanks and hyphens, found without a list.
        std::string_view runs[3];
        int count = 0;
        for (std::size_t i = 0; i < inside.size() && count < 3;) {
            if (inside[i] == '-' || inside[i] == ' ') {
                ++i;
                continue;
            }
            const std::size_t from = i;
            while (i < inside.size() && inside[i] >= '0' && inside[i] <= '9')
                ++i;
            runs[count++] = inside.substr(from, i - from);
        }
        if (count != 2) return std::nullopt;
        startText = runs[0];
        endText = runs[1];
    } else {
        SplitTokens(scratch, line.substr(open, close - open + 1), "[]- ");
        if (scratch.size() != 2 || scratch[0].empty() || scratch[1].empty()) return std::nullopt;
        startText = scratch[0];
        endText = scratch[1];
    }
    const std::optional<std::int32_t> start = strToInt(startText);
    const std::optional<std::int32_t> end = strToInt(endText);
    // -1 is the value the conversion reports failure with, so it counts as a failure.
    if (!start || !end || *start == -1 || *end == -1) return std::nullopt;

    Range r;
    r.left = line.substr(0, open);
    r.right = line.substr(close + 1);
    r.start = *start;
    r.end = *end;
    r.width = static_cast<int>(std::min<std::size_t>(startText.size(), std::numeric_limits<int>::max()));
    return r;
}

// "%.*d" of value with precision width, appended to out.
void appendNumber(std::string &out, std::int32_t value, int width)
{
    char digits[16];
    char *const end = digits + sizeof digits;
    char *p = end;
    const std::int64_t wide = value;
    auto v = static_cast<std::uint64_t>(wide < 0 ? -wide : wide);
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    const auto len = static_cast<int>(end - p);
    if (value < 0) out.push_back('-');
    if (width > len) out.append(static_cast<std::size_t>(width - len), '0');
    out.append(p, static_cast<std::size_t>(len));
}

// Calls emit(line) for every line the range produces, in ascending order.
template <typename Emit> void forEachExpandedLine(const Range &r, Emit &&emit)
{
    std::string line;
    // 64-bit counter: the loop must also stop after an end value of INT32_MAX.
    std::int64_t n = r.start;
    do {
        line.clear();
        line.reserve(r.left.size() + r.right.size() + 12 + static_cast<std::size_t>(r.width));
        line.append(r.left);
        appendNumber(line, static_cast<std::int32_t>(n), r.width);
        line.append(r.right);
        emit(line);
        ++n;
    } while (n <= r.end);
}

// ---- Source cleanup helpers -----------------------------------------------------------

// Whether the byte at p of s is the trail byte of a double-byte character, walking s from its
// start. Only the run of lead-valued bytes right before p matters: a byte that is not
// lead-valued always ends a character.
bool isTrailAt(std::string_view s, std::size_t p)
{
    std::size_t q = p;
    while (q > 0 && IsLeadByte(static_cast<Byte>(s[q - 1])))
        --q;
    return ((p - q) & 1) != 0;
}

const char *findByte(std::string_view s, std::size_t from, char c)
{
    if (from >= s.size()) return nullptr;
    return static_cast<const char *>(std::memchr(s.data() + from, c, s.size() - from));
}

// span with every CR LF pair removed whose CR starts a character, as ReplaceAll(span, CR LF,
// "") gives it: a view of span itself when nothing goes, otherwise of scratch. The spans
// handed in follow a "<" or ">" (never a lead byte), so walking from their own start finds
// the same characters as walking the whole text.
std::string_view withoutBreaks(std::string_view span, std::string &scratch)
{
    std::size_t copied = 0;
    bool removed = false;
    for (const char *cr = findByte(span, 0, '\r'); cr;
         cr = findByte(span, static_cast<std::size_t>(cr - span.data()) + 1, '\r')) {
        const auto i = static_cast<std::size_t>(cr - span.data());
        if (i + 1 >= span.size() || span[i + 1] != '\n' || isTrailAt(span, i)) continue;
        if (!removed) scratch.clear();
        removed = true;
        scratch.append(span.data() + copied, i - copied);
        copied = i + 2;
        ++cr; // the LF is no CR
    }
    if (!removed) return span;
    scratch.append(span.data() + copied, span.size() - copied);
    return scratch;
}

inline bool isLetter(char c, char lower)
{
    return (static_cast<Byte>(c) | 0x20) == static_cast<Byte>(lower);
}

// tag with every " src" (letters in any case) that starts a character made " href", as
// ReplaceAllIgnoreCase gives it: a view of tag itself when nothing changes, otherwise of
// scratch. The pattern holds no "<" or ">", so no occurrence crosses a tag's edge.
std::string_view srcAsHref(std::string_view tag, std::string &scratch)
{
    std::size_t copied = 0;
    bool replaced = false;
    std::size_t from = 0;
    for (const char *sp = findByte(tag, 0, ' '); sp; sp = findByte(tag, from, ' ')) {
        const auto i = static_cast<std::size_t>(sp - tag.data());
        from = i + 1;
        if (tag.size() - i < 4 || !isLetter(tag[i + 1], 's') || !isLetter(tag[i + 2], 'r') || !isLetter(tag[i + 3], 'c')
            || isTrailAt(tag, i))
            continue;
        if (!replaced) scratch.clear();
        replaced = true;
        scratch.append(tag.data() + copied, i - copied);
        scratch.append(" href");
        copied = from = i + 4;
    }
    if (!replaced) return tag;
    scratch.append(tag.data() + copied, tag.size() - copied);
    return scratch;
}

// Calls line(view, crlf) for every line the cleanup command's text form holds, in order; crlf
// tells whether a CR LF follows the line. The views live until the next call. Each tag is
// prepared on its own (line breaks removed, " src" rewritten) instead of the whole text, which
// gives the same bytes: the rules never reach across a "<" or ">".
template <typename Line> void forEachCleanupLine(Cleanup command, std::string_view text, Line &&line)
{
    std::string joined, rewritten;
    constexpr std::size_t unset = std::string_view::npos;
    if (command == Cleanup::TrimLines || command == Cleanup::DeleteEmptyLines) {
        // Lines as the editor holds them: separated by CR LF; a lone LF belongs to the line.
        std::size_t start = 0;
        std::size_t from = 0;
        while (start < text.size()) {
            const char *lf = findByte(text, from, '\n');
            if (!lf) {
                const std::string_view rest = text.substr(start);
                if (command == Cleanup::TrimLines)
                    line(TrimBlanks(rest), false);
                else if (!rest.empty())
                    line(rest, false);
                return;
            }
            const auto i = static_cast<std::size_t>(lf - text.data());
            from = i + 1;
            if (i == start || text[i - 1] != '\r') continue;
            const std::string_view one = text.substr(start, i - 1 - start);
            if (command == Cleanup::TrimLines)
                line(TrimBlanks(one), true);
            else if (!one.empty())
                line(one, true);
            start = from;
        }
        return;
    }
    // Byte-wise: "<" and ">" are never part of a Shift_JIS double-byte character.
    const auto nextTag = [text](std::size_t from) { return byte_scan::NextOfEither(text, from, '<', '>'); };
    if (command == Cleanup::CutOutTags) {
        std::size_t open = unset;
        for (std::size_t i = nextTag(0); i < text.size(); i = nextTag(i + 1)) {
            if (text[i] == '<') {
                open = i; // a second "<" restarts the tag and forgets an earlier ">"
            } else if (open != unset) {
                line(srcAsHref(withoutBreaks(text.substr(open, i - open + 1), joined), rewritten), true);
                open = unset;
            }
        }
        return;
    }
    // The texts between a ">" and the next "<"; empty ones (and, for Clean, blank ones) go.
    std::size_t close = unset;
    for (std::size_t i = nextTag(0); i < text.size(); i = nextTag(i + 1)) {
        if (text[i] == '>') {
            close = i;
        } else if (close != unset) {
            std::string_view piece = withoutBreaks(text.substr(close + 1, i - close - 1), joined);
            if (command == Cleanup::Clean) piece = TrimBlanks(piece);
            if (!piece.empty()) line(piece, true);
            close = unset;
        }
    }
}

// ---- Sort helpers ---------------------------------------------------------------------

// Sort key: ASCII letters of single-byte characters folded to lower case, bytes of
// double-byte characters kept, so keys compare with plain byte order.
std::string foldedKey(std::string_view item)
{
    std::string key(item);
    for (std::size_t i = 0; i < key.size();) {
        const Byte b = static_cast<Byte>(key[i]);
        if (IsLeadByte(b) && i + 1 < key.size()) {
            i += 2;
            continue;
        }
        if (b >= 'A' && b <= 'Z') key[i] = static_cast<char>(b + ('a' - 'A'));
        ++i;
    }
    return key;
}

void sortByKeys(func_token::StringList &items, const std::vector<std::string> &keys)
{
    std::vector<std::size_t> order(items.size());
    std::iota(order.begin(), order.end(), std::size_t { 0 });
    // Stable: items whose keys are equal keep their list order, so the result is repeatable.
    std::stable_sort(order.begin(), order.end(),
        [&](std::size_t a, std::size_t b) { return std::string_view(keys[a]) < std::string_view(keys[b]); });
    func_token::StringList sorted;
    sorted.reserve(items.size());
    for (std::size_t i : order)
        sorted.push_back(std::move(items[i]));
    items = std::move(sorted);
}

void appendEscaped(std::string &out, std::string_view item)
{
    // '"', '&', '<' and '>' are all below 0x40, the smallest trail byte of Shift_JIS, so
    // escaping byte by byte never touches a double-byte character. Runs without them are
    // copied whole.
    std::size_t copied = 0;
    for (std::size_t i = 0; i < item.size(); ++i) {
        std::string_view entity;
        switch (item[i]) {
        case '&':
            entity = "&amp;";
            break;
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '"':
            entity = "&quot;";
            break;
        default:
            continue;
        }
        out.append(item.data() + copied, i - copied);
        out.append(entity);
        copied = i + 1;
    }
    out.append(item.data() + copied, item.size() - copied);
}

} // namespace

// ---- URL correction -------------------------------------------------------------------

namespace
{

// "host:8080/dir": a host and a port, not a scheme, as the HTTP client reads it.
bool isHostAndPort(std::string_view afterScheme)
{
    std::size_t digits = 0;
    while (digits < afterScheme.size() && afterScheme[digits] >= '0' && afterScheme[digits] <= '9')
        ++digits;
    return digits > 0
        && (digits == afterScheme.size()
            || std::string_view("/?#").find(afterScheme[digits]) != std::string_view::npos);
}

} // namespace

std::optional<std::string> CorrectUrl(std::string_view base, std::string_view url)
{
    base = TrimBlanks(base);
    if (base.empty() || url_reference::Split(url).scheme) return std::string(url);
    url_reference::Parts parts = url_reference::Split(base);
    std::string withScheme;
    if (!parts.scheme || isHostAndPort(base.substr(parts.scheme->size() + 1))) {
        // The download reads an address without a scheme as http.
        withScheme = "http://";
        withScheme += base;
        parts = url_reference::Split(withScheme);
    }
    if (!parts.authority || url_reference::HostOf(*parts.authority).empty()) return std::nullopt;
    return url_reference::Resolve(parts, url);
}

error::Result<void> CorrectList(std::string_view base, StringList &items)
{
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::optional<std::string> corrected = CorrectUrl(base, items[i]);
        if (!corrected) {
            error::Error e = error::Error::Of(error::Kind::BaseWithoutHost);
            e.position = i;
            e.found = std::string(base);
            return error::Unexpected(std::move(e));
        }
        items[i] = std::move(*corrected);
    }
    return {};
}

// ---- Sequence expansion ---------------------------------------------------------------

std::string ExpandSequence(std::string_view line)
{
    StringList scratch;
    const std::optional<Range> range = parseRange(line, scratch);
    if (!range) return std::string(line);
    std::string out;
    const std::uint64_t lines = range->lineCount();
    const std::size_t perLine = range->left.size() + range->right.size() + static_cast<std::size_t>(range->width) + 2;
    if (lines <= (std::uint64_t { 1 } << 24)) out.reserve(static_cast<std::size_t>(lines) * perLine);
    bool first = true;
    forEachExpandedLine(*range, [&](const std::string &l) {
        if (!first) out.push_back('\r');
        first = false;
        out.append(l);
    });
    return out;
}

std::uint64_t ExpandedLineCount(std::string_view line)
{
    StringList scratch;
    const std::optional<Range> range = parseRange(line, scratch);
    return range ? range->lineCount() : 1;
}

error::Result<StringList> ExpandList(const StringList &items, std::uint64_t maxLines)
{
    StringList result;
    if (items.empty()) return result;

    StringList scratch;
    std::vector<std::optional<Range>> ranges;
    ranges.reserve(items.size());
    std::uint64_t total = 0;
    bool plainItems = true; // no item holds a CR, LF or NUL
    for (const std::string &item : items) {
        ranges.push_back(parseRange(item, scratch));
        total += ranges.back() ? ranges.back()->lineCount() : 1;
        if (plainItems && item.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) plainItems = false;
    }
    // Unbounded ranges would exhaust memory; refuse before building anything. A list that
    // is already that long but expands nothing is not refused.
    if (total > maxLines && total > items.size()) {
        error::Error e = error::Error::Of(error::Kind::TooManyLines);
        e.count = total;
        e.limit = maxLines;
        return error::Unexpected(std::move(e));
    }

    if (!plainItems) {
        // Items with line breaks or NUL bytes of their own: join and cut literally.
        std::string text;
        for (const std::string &item : items) {
            const std::string expansion = ExpandSequence(item);
            if (text.empty()) {
                text = expansion;
            } else {
                text.push_back('\r');
                text.append(expansion);
            }
        }
        return func_token::SplitLines(text);
    }

    // Joining the expansions with CR and cutting the text into lines again, done directly:
    // the join skips the empty items before the first non-empty one, and the cut drops the
    // one empty line a trailing empty item leaves behind. Every other line stays.
    std::size_t first = 0;
    while (first < items.size() && items[first].empty())
        ++first;
    if (first == items.size()) return result;
    std::size_t last = items.size();
    const bool dropLast = items.back().empty();
    if (dropLast) --last;

    result.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(total, std::uint64_t { 1 } << 32)));
    for (std::size_t i = first; i < last; ++i) {
        if (!ranges[i]) {
            result.push_back(items[i]);
            continue;
        }
        forEachExpandedLine(*ranges[i], [&](const std::string &l) { result.push_back(l); });
    }
    return result;
}

// ---- Source cleanup -------------------------------------------------------------------

StringList CutOutTags(std::string_view text)
{
    StringList out;
    forEachCleanupLine(Cleanup::CutOutTags, text, [&](std::string_view l, bool) { out.emplace_back(l); });
    return out;
}

StringList RemoveTags(std::string_view text)
{
    StringList out;
    forEachCleanupLine(Cleanup::RemoveTags, text, [&](std::string_view l, bool) { out.emplace_back(l); });
    return out;
}

void AppendCleanupText(Cleanup command, std::string_view text, std::string &out, std::size_t flushAt,
    const std::function<void(std::string_view)> &flush)
{
    forEachCleanupLine(command, text, [&](std::string_view l, bool crlf) {
        out.append(l);
        if (crlf) out.append("\r\n", 2);
        if (out.size() >= flushAt && flush) {
            flush(out);
            out.clear();
        }
    });
}

// The tag commands replace the whole source text by their list in text form (every line
// followed by CR LF). The two line commands keep the lines of the source text as they are
// separated (CR LF) and keep whether the text ended with a line break.

namespace
{
std::string cleanupText(Cleanup command, std::string_view text)
{
    std::string out;
    // The line commands give about as much as they get; the tag commands' share varies.
    if (command == Cleanup::TrimLines || command == Cleanup::DeleteEmptyLines) out.reserve(text.size());
    AppendCleanupText(command, text, out);
    return out;
}
} // namespace

std::string CutOutTagsText(std::string_view text)
{
    return cleanupText(Cleanup::CutOutTags, text);
}

std::string RemoveTagsText(std::string_view text)
{
    return cleanupText(Cleanup::RemoveTags, text);
}

std::string TrimLinesText(std::string_view text)
{
    return cleanupText(Cleanup::TrimLines, text);
}

std::string DeleteEmptyLinesText(std::string_view text)
{
    return cleanupText(Cleanup::DeleteEmptyLines, text);
}

std::string CleanText(std::string_view text)
{
    return cleanupText(Cleanup::Clean, text);
}

// ---- Link collection page -------------------------------------------------------------

std::string_view LinkPageHeader()
{
    // The title is リンク集 in Shift_JIS, the charset the page declares.
    return "<html><head><title>\x83\x8A\x83\x93\x83\x4E\x8F\x57</title>\r\n"
           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n"
           "</head><body bgcolor=\"#FFFFFF\"><ol>\r\n";
}

void AppendLinkPageItem(std::string &out, std::string_view item)
{
    out.append("<li><a href=\"");
    appendEscaped(out, item);
    out.append("\" target=\"_blank\">");
    appendEscaped(out, item);
    out.append("</a></li>\r\n");
}

std::string_view LinkPageFooter()
{
    return "</ol></body></html>\r\n";
}

std::string MakeLinkPage(const StringList &items)
{
    std::string out;
    std::size_t total = LinkPageHeader().size() + LinkPageFooter().size();
    for (const std::string &item : items)
        total += 2 * item.size() + 48;
    out.reserve(total);
    out.append(LinkPageHeader());
    for (const std::string &item : items)
        AppendLinkPageItem(out, item);
    out.append(LinkPageFooter());
    return out;
}

// ---- URL list operations --------------------------------------------------------------

void SortForward(StringList &items)
{
    std::vector<std::string> keys;
    keys.reserve(items.size());
    for (const std::string &item : items)
        keys.push_back(foldedKey(item));
    sortByKeys(items, keys);
}

void SortBackward(StringList &items)
{
    // Ordered by the reversed bytes (a double-byte character's bytes swapped as well);
    // the items themselves are never changed.
    std::vector<std::string> keys;
    keys.reserve(items.size());
    for (const std::string &item : items) {
        std::string key = foldedKey(item);
        std::reverse(key.begin(), key.end());
        keys.push_back(std::move(key));
    }
    sortByKeys(items, keys);
}

void RemoveDuplicates(StringList &items)
{
    if (items.size() < 2) return;
    SortForward(items);
    // The sort ignores letter case, so equal items may stand apart with a case variant between
    // them (a, A, a). Within each run of items equal but for case, every repeat of an earlier
    // item goes; the run keeps its order, so the list stays sorted.
    std::vector<std::string> keys;
    keys.reserve(items.size());
    for (const std::string &item : items)
        keys.push_back(foldedKey(item));
    std::size_t kept = 0;
    std::vector<std::size_t> run;
    for (std::size_t start = 0; start < items.size();) {
        std::size_t end = start + 1;
        while (end < items.size() && keys[end] == keys[start])
            ++end;
        if (end - start == 1) {
            if (kept != start) items[kept] = std::move(items[start]);
            ++kept;
        } else {
            // The first of each group of exact duplicates survives, in run order.
            run.resize(end - start);
            std::iota(run.begin(), run.end(), start);
            std::stable_sort(run.begin(), run.end(), [&](std::size_t a, std::size_t b) { return items[a] < items[b]; });
            std::vector<bool> keep(end - start, false);
            for (std::size_t i = 0; i < run.size(); ++i)
                if (i == 0 || items[run[i]] != items[run[i - 1]]) keep[run[i] - start] = true;
            for (std::size_t i = start; i < end; ++i) {
                if (!keep[i - start]) continue;
                if (kept != i) items[kept] = std::move(items[i]);
                ++kept;
            }
        }
        start = end;
    }
    items.resize(kept);
}

std::string CopyItemsText(const StringList &items, const std::vector<bool> &selected)
{
    const bool all = selected.empty();
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].empty() || !(all || (i < selected.size() && selected[i]))) continue;
        if (!out.empty()) out.append("\r\n");
        out.append(items[i]);
    }
    const std::string_view trimmed = TrimBlanks(out);
    if (trimmed.size() == out.size()) return out;
    return std::string(trimmed);
}

// ---- Control panel helpers ------------------------------------------------------------

void AddComboHistory(StringList &history, std::string_view text, std::size_t limit)
{
    if (text.empty()) return;
    if (std::find(history.begin(), history.end(), text) == history.end()) history.emplace_back(text);
    if (history.size() > limit) history.erase(history.begin());
}

std::optional<std::size_t> FindInSource(std::string_view text, std::string_view key, std::size_t selectionEnd)
{
    if (key.empty()) return std::nullopt;
    const std::size_t forward = findBytes(text, key, selectionEnd, text.size());
    if (forward != std::string_view::npos) return forward;
    if (selectionEnd == 0) return std::nullopt;
    // Wrap-around: a match must start before selectionEnd but may run past it.
    const std::size_t end
        = selectionEnd > text.size() ? text.size() : std::min(text.size(), selectionEnd - 1 + key.size());
    const std::size_t wrapped = findBytes(text, key, 0, end);
    if (wrapped != std::string_view::npos) return wrapped;
    return std::nullopt;
}

std::vector<std::size_t> SelectMatchingItems(const StringList &items, std::string_view key)
{
    std::vector<std::size_t> matches;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (ContainsText(items[i], key)) matches.push_back(i);
    return matches;
}

} // namespace func_lanzo

namespace text_stream
{

void ForEachExpandedLine(std::string_view line, const Emit &emit)
{
    func_token::StringList scratch;
    const std::optional<func_lanzo::Range> range = func_lanzo::parseRange(line, scratch);
    if (!range) {
        emit(line);
        return;
    }
    func_lanzo::forEachExpandedLine(*range, [&](const std::string &l) { emit(l); });
}

void AppendExpandedLines(
    std::string_view line, std::string_view eol, std::string &out, std::size_t flushAt, const Emit &flush)
{
    func_token::StringList scratch;
    const std::optional<func_lanzo::Range> range = func_lanzo::parseRange(line, scratch);
    if (!range) {
        out.append(line);
        out.append(eol);
    } else if (range->start >= 0 && range->start <= range->end) {
        // One line is kept whole, number and line break included; the number is counted up in
        // place, digit by digit, and the line is copied out in one piece.
        std::string next(range->left);
        func_lanzo::appendNumber(next, range->start, range->width);
        std::size_t digitsEnd = next.size();
        next.append(range->right);
        next.append(eol);
        for (std::int64_t n = range->start;;) {
            out.append(next);
            if (out.size() >= flushAt) {
                flush(out);
                out.clear();
            }
            if (++n > range->end) break;
            std::size_t d = digitsEnd;
            while (d > range->left.size() && next[d - 1] == '9')
                next[--d] = '0';
            if (d > range->left.size()) {
                ++next[d - 1];
            } else {
                next.insert(d, 1, '1'); // 99 -> 100: the number gains a digit
                ++digitsEnd;
            }
        }
    } else {
        // The lines are written straight into out, without a string of their own.
        std::int64_t n = range->start;
        do {
            out.append(range->left);
            func_lanzo::appendNumber(out, static_cast<std::int32_t>(n), range->width);
            out.append(range->right);
            out.append(eol);
            if (out.size() >= flushAt) {
                flush(out);
                out.clear();
            }
            ++n;
        } while (n <= range->end);
    }
    if (out.size() >= flushAt) {
        flush(out);
        out.clear();
    }
}

namespace
{

// Sort keys as views: the item itself where folding changes nothing (the usual case for
// URLs), otherwise its folded copy, kept in one block.
class FoldedKeys
{
public:
    explicit FoldedKeys(const std::vector<std::string_view> &items)
    {
        m_keys.reserve(items.size());
        std::vector<std::pair<std::size_t, std::size_t>> folded; // index, offset in m_arena
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::string_view item = items[i];
            m_keys.push_back(item);
            if (std::none_of(item.begin(), item.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) continue;
            const std::string key = func_lanzo::foldedKey(item);
            if (key == item) continue;
            folded.emplace_back(i, m_arena.size());
            m_arena += key;
        }
        for (const auto &[index, offset] : folded)
            m_keys[index] = std::string_view(m_arena).substr(offset, m_keys[index].size());
    }
    const std::vector<std::string_view> &keys() const { return m_keys; }

private:
    std::string m_arena;
    std::vector<std::string_view> m_keys;
};

} // namespace

std::vector<std::size_t> SortOrder(const std::vector<std::string_view> &items, bool backward)
{
    const FoldedKeys keys(items);
    return key_sort::SortedKeyOrder(keys.keys(), backward);
}

std::vector<std::size_t> DedupOrder(const std::vector<std::string_view> &items)
{
    std::vector<std::size_t> order(items.size());
    std::iota(order.begin(), order.end(), std::size_t { 0 });
    if (items.size() < 2) return order;
    const FoldedKeys folded(items);
    const std::vector<std::string_view> &keys = folded.keys();
    order = key_sort::SortedKeyOrder(keys, false);
    // Within each run of items equal but for case, the first of each group of exact duplicates
    // stays, in run order.
    std::size_t kept = 0;
    std::vector<std::size_t> run;
    std::vector<bool> keep;
    for (std::size_t start = 0; start < order.size();) {
        std::size_t end = start + 1;
        while (end < order.size() && keys[order[end]] == keys[order[start]])
            ++end;
        if (end - start == 1) {
            order[kept++] = order[start];
        } else {
            run.resize(end - start);
            std::iota(run.begin(), run.end(), start);
            std::stable_sort(run.begin(), run.end(),
                [&](std::size_t a, std::size_t b) { return items[order[a]] < items[order[b]]; });
            keep.assign(end - start, false);
            for (std::size_t i = 0; i < run.size(); ++i)
                if (i == 0 || items[order[run[i]]] != items[order[run[i - 1]]]) keep[run[i] - start] = true;
            for (std::size_t i = start; i < end; ++i)
                if (keep[i - start]) order[kept++] = order[i];
        }
        start = end;
    }
    order.resize(kept);
    return order;
}

} // namespace text_stream
