#include "extract/html_links.h"

#include "extract/extract_stream.h"
#include "extract/extraction.h"
#include "text/byte_scan.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace html_links
{
namespace
{

// Calls onTag for every tag ("<" up to the next ">") of a prepared text. A '<' opens a tag
// afresh, even after an unclosed one; a '>' closes the open tag and is ignored when none is
// open. 0x3C and 0x3E never occur inside a Shift_JIS double-byte character, so the scan needs
// no lead-byte tracking. With progress: maximum L, position and stop flag once per chunk and at
// the end; returns false when stopped (position then 0).
template <class OnTag> bool ScanTags(std::string_view preparedText, job_progress::JobProgress *progress, OnTag &&onTag)
{
    const char *const begin = preparedText.data();
    const std::size_t size = preparedText.size();
    const auto maximum = static_cast<std::int64_t>(size);
    job_progress::BeginScan(progress, maximum);
    const char *open = nullptr;
    for (std::size_t chunkBegin = 0; chunkBegin < size; chunkBegin += job_progress::kScanChunk) {
        if (!job_progress::ContinueScan(progress, static_cast<std::int64_t>(chunkBegin))) return false;
        const char *p = begin + chunkBegin;
        const char *const chunkEnd = begin + std::min<std::size_t>(size, chunkBegin + job_progress::kScanChunk);
        while (p < chunkEnd) {
            const char *marker = byte_scan::FindEither(p, chunkEnd, '<', '>');
            if (marker == chunkEnd) break;
            if (*marker == '<') {
                open = marker;
            } else if (open) {
                onTag(std::string_view(open, static_cast<std::size_t>(marker + 1 - open)));
                open = nullptr;
            }
            p = marker + 1;
        }
    }
    return job_progress::FinishScan(progress, maximum);
}

} // namespace

std::string PrepareHtmlText(std::string_view text)
{
    // ReplaceAllIgnoreCase(flat, " src", " href"), found with a vector search and done in place:
    // each rewrite adds one byte, and one occurrence takes four, so a quarter more room always
    // suffices (reserved, not touched, unless used). A space is never a lead byte, so the trail
    // test of each candidate looks at bytes no other candidate looks at.
    std::string flat = extraction::FlattenLines(text, text.size() / 4 + 1);
    std::vector<std::size_t> hits;
    const char *const begin = flat.data();
    const char *const end = begin + flat.size();
    for (const char *p = begin;;) {
        const char *at = byte_scan::FindSpaceS(p, end);
        if (at == end) break;
        if (end - at >= 4 && (at[2] | 0x20) == 'r' && (at[3] | 0x20) == 'c' && !byte_scan::IsTrailAt(begin, at)) {
            hits.push_back(static_cast<std::size_t>(at - begin));
            p = at + 4;
        } else {
            p = at + 1;
        }
    }
    if (hits.empty()) return flat;
    // From the back: the text after hit j moves right by j + 1 bytes.
    std::size_t tail = flat.size();
    flat.resize(flat.size() + hits.size());
    char *const data = flat.data();
    for (std::size_t j = hits.size(); j-- > 0;) {
        const std::size_t from = hits[j] + 4;
        std::memmove(data + from + j + 1, data + from, tail - from);
        std::memcpy(data + hits[j] + j, " href", 5);
        tail = hits[j];
    }
    return flat;
}

bool CollectTags(StringList &tags, std::string_view preparedText, job_progress::JobProgress *progress)
{
    const bool completed = ScanTags(preparedText, progress, [&](std::string_view tag) { tags.emplace_back(tag); });
    if (!completed) tags.clear();
    return completed;
}

namespace
{

// PickLink as a view of tag.
std::optional<std::string_view> pickLinkView(std::string_view tag)
{
    constexpr auto npos = std::string_view::npos;
    std::size_t start = tag.find("href");
    if (start == npos) start = tag.find("HREF");
    if (start == npos) start = 0;
    const std::size_t equals = tag.find('=', start);
    if (equals == npos) return std::nullopt;

    const std::size_t v = equals + 1;
    // The last byte of a tag is its '>', which an unquoted value leaves out.
    const std::size_t last = tag.empty() || tag.back() != '>' ? tag.size() : tag.size() - 1;
    std::string_view raw;
    if (v < tag.size() && tag[v] == '"') {
        const std::size_t quote = tag.find('"', v + 1);
        if (quote == npos) return std::nullopt;
        raw = tag.substr(v, quote + 1 - v);
    } else {
        const std::size_t space = v < tag.size() ? tag.find(' ', v + 1) : npos;
        if (space != npos)
            raw = tag.substr(v, space + 1 - v);
        else if (v < last)
            raw = tag.substr(v, last - v);
    }

    if (!raw.empty() && raw.front() == '"') {
        const std::size_t quote = raw.find('"', 1);
        const std::string_view inner = raw.substr(1, (quote == npos ? raw.size() : quote) - 1);
        if (!inner.empty()) raw = inner;
    }
    return func_token::TrimBlanks(raw);
}

} // namespace

std::optional<std::string> PickLink(std::string_view tag)
{
    const std::optional<std::string_view> link = pickLinkView(tag);
    if (!link) return std::nullopt;
    return std::string(*link);
}

LinksResult ExtractLinks(std::string_view input, job_progress::JobProgress *progress)
{
    LinksResult result;
    const std::string prepared = PrepareHtmlText(input);
    if (progress) progress->setCaption("抽出中");
    // Tags without "href" are dropped and the links picked while scanning: the same result as
    // collecting all tags first, without holding them.
    const bool completed = ScanTags(prepared, progress, [&](std::string_view tag) {
        if (!func_token::ContainsTextIgnoreCase(tag, "href")) return;
        if (auto link = PickLink(tag)) result.links.push_back(std::move(*link));
    });
    if (!completed) {
        result.links.clear();
        result.stopped = true;
    }
    return result;
}

} // namespace html_links

namespace extract_stream
{
namespace
{

bool IsSrcAt(std::string_view text, std::size_t i)
{
    return i + 3 <= text.size() && (text[i] | 0x20) == 's' && (text[i + 1] | 0x20) == 'r'
        && (text[i + 2] | 0x20) == 'c';
}

// A tag as the prepared text holds it: every line break (CR LF, CR or LF) one space, and
// every " src" that does not begin on a trail byte made " href". A tag holds whole " src"
// occurrences only ('<' and '>' are not part of one), and the lead bytes before one of its
// spaces never reach past its '<', so the tag can be prepared by itself. A space is on a trail
// byte when an odd number of lead-valued bytes stands right before it.
void prepareTag(std::string_view tag, std::string &out)
{
    out.clear();
    std::size_t leads = 0; // lead-valued bytes at the end of out
    for (std::size_t i = 0; i < tag.size(); ++i) {
        char c = tag[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < tag.size() && tag[i + 1] == '\n') ++i;
            c = ' ';
        }
        if (c == ' ' && leads % 2 == 0 && IsSrcAt(tag, i + 1)) {
            out.append(" href");
            i += 3;
            leads = 0;
            continue;
        }
        out.push_back(c);
        leads = func_token::IsLeadByte(static_cast<unsigned char>(c)) ? leads + 1 : 0;
    }
}

// Where the first "href" (any case) of a tag begins, or npos.
std::size_t FindHref(std::string_view tag)
{
    for (std::size_t i = 0; i + 4 <= tag.size(); ++i) {
        if ((tag[i] | 0x20) == 'h' && (tag[i + 1] | 0x20) == 'r' && (tag[i + 2] | 0x20) == 'e'
            && (tag[i + 3] | 0x20) == 'f')
            return i;
    }
    return std::string_view::npos;
}

// Whether the tag holds an "href" that does not begin on a trail byte; href is FindHref(tag).
bool HoldsHref(std::string_view tag, std::size_t href)
{
    if (href == std::string_view::npos) return false;
    // Right after a byte that is no lead byte (or first) it cannot begin on a trail byte.
    if (href == 0 || !func_token::IsLeadByte(static_cast<unsigned char>(tag[href - 1]))) return true;
    return func_token::ContainsTextIgnoreCase(tag, "href");
}

// What one pass over a raw tag tells: whether it holds a line break or a " src" (then it has to
// be prepared first), and where its first "href" (any case) begins.
struct TagFacts {
    bool needsPreparing = false;
    std::size_t href = std::string_view::npos;
};

TagFacts ScanTag(std::string_view tag)
{
    TagFacts facts;
    const std::size_t n = tag.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = tag[i];
        if (c == '\r' || c == '\n') {
            facts.needsPreparing = true;
            return facts;
        }
        if (i + 3 >= n) continue;
        if ((c | 0x20) == 'h' && (tag[i + 1] | 0x20) == 'r' && (tag[i + 2] | 0x20) == 'e'
            && (tag[i + 3] | 0x20) == 'f') {
            if (facts.href == std::string_view::npos) facts.href = i;
        } else if (c == ' ' && (tag[i + 1] | 0x20) == 's' && (tag[i + 2] | 0x20) == 'r' && (tag[i + 3] | 0x20) == 'c') {
            facts.needsPreparing = true;
            return facts;
        }
    }
    return facts;
}

} // namespace

bool ForEachLink(std::string_view text, job_progress::JobProgress *progress, const Emit &emit)
{
    if (progress) progress->setCaption("抽出中");
    if (const void *nul = text.empty() ? nullptr : std::memchr(text.data(), '\0', text.size()))
        text = text.substr(0, static_cast<std::size_t>(static_cast<const char *>(nul) - text.data()));
    std::string prepared;
    return html_links::ScanTags(text, progress, [&](std::string_view tag) {
        const TagFacts facts = ScanTag(tag);
        if (facts.needsPreparing) {
            prepareTag(tag, prepared);
            tag = prepared;
            if (!HoldsHref(tag, FindHref(tag))) return;
        } else if (!HoldsHref(tag, facts.href)) {
            return;
        }
        if (const auto link = html_links::pickLinkView(tag)) emit(*link);
    });
}

} // namespace extract_stream
