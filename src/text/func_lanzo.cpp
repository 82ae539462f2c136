#include "text/func_lanzo.h"

#include "text/text_scan.h"
#include "text/text_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

namespace func_lanzo
{

using func_token::ContainsText;
using func_token::HasPrefix;
using func_token::IsLeadByte;
using func_token::JoinCrLf;
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

bool isPrintableAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
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

    SplitTokens(scratch, line.substr(open, close - open + 1), "[]- ");
    if (scratch.size() != 2 || scratch[0].empty() || scratch[1].empty()) return std::nullopt;
    const std::optional<std::int32_t> start = strToInt(scratch[0]);
    const std::optional<std::int32_t> end = strToInt(scratch[1]);
    // -1 is the value the conversion reports failure with, so it counts as a failure.
    if (!start || !end || *start == -1 || *end == -1) return std::nullopt;

    Range r;
    r.left = line.substr(0, open);
    r.right = line.substr(close + 1);
    r.start = *start;
    r.end = *end;
    r.width = static_cast<int>(std::min<std::size_t>(scratch[0].size(), std::numeric_limits<int>::max()));
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

// Lines of the source text as the editor holds them: separated by CR LF; a CR LF at the
// very end closes the last line and starts no further one.
struct EditorLines {
    std::vector<std::string_view> lines;
    bool endsWithBreak = false;
};

EditorLines editorLines(std::string_view text)
{
    EditorLines result;
    std::size_t start = 0;
    std::size_t from = 0;
    while (start < text.size()) {
        const void *lf = std::memchr(text.data() + from, '\n', text.size() - from);
        if (!lf) {
            result.lines.push_back(text.substr(start));
            return result;
        }
        const std::size_t i = static_cast<std::size_t>(static_cast<const char *>(lf) - text.data());
        from = i + 1;
        if (i == start || text[i - 1] != '\r') continue; // a lone LF belongs to the line
        result.lines.push_back(text.substr(start, i - 1 - start));
        start = from;
    }
    result.endsWithBreak = !text.empty();
    return result;
}

std::string joinEditorLines(const std::vector<std::string_view> &lines, bool endsWithBreak)
{
    std::size_t total = 0;
    for (std::string_view line : lines)
        total += line.size() + 2;
    std::string out;
    out.reserve(total);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out.append("\r\n");
        out.append(lines[i]);
    }
    if (endsWithBreak && !lines.empty()) out.append("\r\n");
    return out;
}

// The text between tags, empty runs included (the shared first steps of tag removal).
std::vector<std::string> textsBetweenTags(std::string_view text)
{
    const std::string joined = func_token::ReplaceAll(text, "\r\n", "");
    std::vector<std::string> out;
    constexpr std::size_t unset = std::string_view::npos;
    std::size_t close = unset;
    // 0x3C and 0x3E never occur inside a Shift_JIS double-byte character, so the scan
    // goes byte by byte.
    text_scan::NextOfTwo tags(joined, '<', '>');
    for (std::size_t i = tags.find(0); i < joined.size(); i = tags.find(i + 1)) {
        if (joined[i] == '<') {
            if (close != unset) {
                out.emplace_back(joined, close + 1, i - close - 1);
                close = unset;
            }
        } else {
            close = i;
        }
    }
    return out;
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
    // escaping byte by byte never touches a double-byte character.
    for (char c : item) {
        switch (c) {
        case '&':
            out.append("&amp;");
            break;
        case '<':
            out.append("&lt;");
            break;
        case '>':
            out.append("&gt;");
            break;
        case '"':
            out.append("&quot;");
            break;
        default:
            out.push_back(c);
        }
    }
}

} // namespace

// ---- URL correction -------------------------------------------------------------------

std::optional<std::string> CorrectUrl(std::string_view base, std::string_view url)
{
    StringList fields;
    SplitTokens(fields, base, ":/");
    const std::size_t count = fields.size();

    if (HasPrefix("/", url)) {
        if (count < 2) return std::nullopt;
        return fields[0] + "://" + fields[1] + std::string(url);
    }
    if (HasPrefix("../", url)) {
        if (count < 1) return std::nullopt;
        std::size_t k = 0;
        std::string_view rest = url;
        while (HasPrefix("../", rest)) {
            rest.remove_prefix(3);
            ++k;
        }
        std::string out = fields[0] + ":/";
        // The page name and k directories are dropped.
        const long lastDir = static_cast<long>(count) - 2 - static_cast<long>(std::min<std::size_t>(k, count));
        for (long j = 1; j <= lastDir; ++j)
            out += "/" + fields[static_cast<std::size_t>(j)];
        out += "/";
        out += rest;
        return out;
    }
    if (!ContainsText(url, "://")) {
        if (count < 2) return std::nullopt;
        std::string out = fields[0] + "://" + fields[1];
        for (std::size_t j = 2; j + 2 <= count; ++j)
            out += "/" + fields[j];
        out += "/";
        out += url;
        return out;
    }
    return std::string(url);
}

CorrectListResult CorrectList(std::string_view base, const StringList &items)
{
    CorrectListResult result;
    result.items = items;
    if (base.empty()) return result;
    for (std::size_t i = 0; i < result.items.size(); ++i) {
        std::optional<std::string> corrected = CorrectUrl(base, result.items[i]);
        if (!corrected) {
            result.ok = false;
            result.failedIndex = i;
            // The base is Shift_JIS; it is quoted only when its bytes read the same in UTF-8.
            result.message = "基準URLにホスト名がありません";
            if (isPrintableAscii(base)) result.message += ": " + std::string(base);
            return result;
        }
        result.items[i] = std::move(*corrected);
    }
    return result;
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

ExpandListResult ExpandList(const StringList &items, std::uint64_t maxLines)
{
    ExpandListResult result;
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
        result.ok = false;
        result.items = items;
        result.message = "連番展開の結果が多すぎます（" + std::to_string(total) + " 行、上限 "
            + std::to_string(maxLines) + " 行）。展開を中止しました。";
        return result;
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
        result.items = func_token::SplitLines(text);
        return result;
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

    result.items.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(total, std::uint64_t { 1 } << 32)));
    for (std::size_t i = first; i < last; ++i) {
        if (!ranges[i]) {
            result.items.push_back(items[i]);
            continue;
        }
        forEachExpandedLine(*ranges[i], [&](const std::string &l) { result.items.push_back(l); });
    }
    return result;
}

// ---- Source cleanup -------------------------------------------------------------------

StringList CutOutTags(std::string_view text)
{
    std::string joined = func_token::ReplaceAll(text, "\r\n", "");
    joined = func_token::ReplaceAllIgnoreCase(joined, " src", " href");
    StringList out;
    constexpr std::size_t unset = std::string_view::npos;
    std::size_t open = unset;
    // Byte-wise: "<" and ">" are never part of a Shift_JIS double-byte character.
    text_scan::NextOfTwo tags(joined, '<', '>');
    for (std::size_t i = tags.find(0); i < joined.size(); i = tags.find(i + 1)) {
        if (joined[i] == '<') {
            open = i; // a second "<" restarts the tag and forgets an earlier ">"
        } else if (open != unset) {
            out.emplace_back(joined, open, i - open + 1);
            open = unset;
        }
    }
    return out;
}

StringList RemoveTags(std::string_view text)
{
    StringList out = textsBetweenTags(text);
    out.erase(std::remove_if(out.begin(), out.end(), [](const std::string &s) { return s.empty(); }), out.end());
    return out;
}

// The tag commands replace the whole source text by their list in text form (every line
// followed by CR LF). The two line commands keep the lines of the source text as they are
// separated (CR LF) and keep whether the text ended with a line break.

std::string CutOutTagsText(std::string_view text)
{
    return JoinCrLf(CutOutTags(text));
}

std::string RemoveTagsText(std::string_view text)
{
    return JoinCrLf(RemoveTags(text));
}

std::string TrimLinesText(std::string_view text)
{
    EditorLines el = editorLines(text);
    for (std::string_view &line : el.lines)
        line = TrimBlanks(line);
    return joinEditorLines(el.lines, el.endsWithBreak);
}

std::string DeleteEmptyLinesText(std::string_view text)
{
    EditorLines el = editorLines(text);
    std::erase_if(el.lines, [](std::string_view line) { return line.empty(); });
    return joinEditorLines(el.lines, el.endsWithBreak);
}

std::string CleanText(std::string_view text)
{
    StringList kept;
    for (std::string &piece : textsBetweenTags(text)) {
        const std::string_view trimmed = TrimBlanks(piece);
        if (!trimmed.empty()) kept.emplace_back(trimmed);
    }
    return JoinCrLf(kept);
}

// ---- Link collection page -------------------------------------------------------------

std::string MakeLinkPage(const StringList &items)
{
    std::string out;
    std::size_t total = 256;
    for (const std::string &item : items)
        total += 2 * item.size() + 48;
    out.reserve(total);
    // The title is リンク集 in Shift_JIS, the charset the page declares.
    out.append("<html><head><title>\x83\x8A\x83\x93\x83\x4E\x8F\x57</title>\r\n");
    out.append("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\r\n");
    out.append("</head><body bgcolor=\"#FFFFFF\"><ol>\r\n");
    for (const std::string &item : items) {
        out.append("<li><a href=\"");
        appendEscaped(out, item);
        out.append("\" target=\"_blank\">");
        appendEscaped(out, item);
        out.append("</a></li>\r\n");
    }
    out.append("</ol></body></html>\r\n");
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

// a < b for the byte strings read from their ends (the reversed keys of SortBackward).
bool ReversedLess(std::string_view a, std::string_view b)
{
    std::size_t i = a.size(), j = b.size();
    while (i > 0 && j > 0) {
        const auto x = static_cast<unsigned char>(a[--i]), y = static_cast<unsigned char>(b[--j]);
        if (x != y) return x < y;
    }
    return i == 0 && j > 0;
}

std::vector<std::size_t> SortedIndices(const std::vector<std::string_view> &keys, bool backward)
{
    std::vector<std::size_t> order(keys.size());
    std::iota(order.begin(), order.end(), std::size_t { 0 });
    // Stable, as the list sort: items whose keys are equal keep their list order.
    if (backward)
        std::stable_sort(
            order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return ReversedLess(keys[a], keys[b]); });
    else
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    return order;
}

} // namespace

std::vector<std::size_t> SortOrder(const std::vector<std::string_view> &items, bool backward)
{
    const FoldedKeys keys(items);
    return SortedIndices(keys.keys(), backward);
}

std::vector<std::size_t> DedupOrder(const std::vector<std::string_view> &items)
{
    std::vector<std::size_t> order(items.size());
    std::iota(order.begin(), order.end(), std::size_t { 0 });
    if (items.size() < 2) return order;
    const FoldedKeys folded(items);
    const std::vector<std::string_view> &keys = folded.keys();
    order = SortedIndices(keys, false);
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
