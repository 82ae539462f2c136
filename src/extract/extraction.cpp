#include "extract/extraction.h"

#include "extract/extract_stream.h"
#include "tables/cnv_table.h"
#include "text/byte_scan.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace extraction
{
namespace
{

using ByteTable = std::array<bool, 256>;

constexpr ByteTable MakeByteTable(std::string_view bytes)
{
    ByteTable table {};
    for (const char c : bytes)
        table[static_cast<unsigned char>(c)] = true;
    return table;
}

// The delimiters of a prepared text. None of them can be the trail byte of a Shift_JIS
// double-byte character, so the byte value alone decides.
constexpr ByteTable kPreparedDelimiters = MakeByteTable(" <>'");
// The delimiters of an input text that has not been prepared: preparing turns every line
// break into one space (or drops it at the very end) and every double quote into a space,
// and a space only ever separates tokens, so CR, LF and '"' split exactly as a space does.
constexpr ByteTable kInputDelimiters = MakeByteTable(" <>'\"\r\n");

// Text after a NUL byte plays no part in extraction.
std::string_view UpToNul(std::string_view text)
{
    // An empty view may have no storage, and memchr must never see a null pointer.
    const void *nul = text.empty() ? nullptr : std::memchr(text.data(), '\0', text.size());
    return nul ? text.substr(0, static_cast<const char *>(nul) - text.data()) : text;
}

// Calls onToken for every maximal run of non-delimiter bytes. With progress, the position
// (offset capped at maximum) is published and the stop flag read once per chunk and at the end,
// where the position becomes maximum. Returns false when stopped; the position is then 0.
template <bool inputText, class OnToken>
bool ScanTokens(std::string_view text, job_progress::JobProgress *progress, std::int64_t maximum, OnToken &&onToken)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t size = text.size();
    const bool *isDelimiter = (inputText ? kInputDelimiters : kPreparedDelimiters).data();
    constexpr std::size_t kNoToken = static_cast<std::size_t>(-1);
    std::size_t tokenStart = kNoToken;

    for (std::size_t chunkBegin = 0; chunkBegin < size; chunkBegin += job_progress::kScanChunk) {
        if (!job_progress::ContinueScan(
                progress, std::min<std::int64_t>(static_cast<std::int64_t>(chunkBegin), maximum)))
            return false;
        const std::size_t chunkEnd = std::min<std::size_t>(size, chunkBegin + job_progress::kScanChunk);
        std::size_t i = chunkBegin;
#if defined(__SSE2__)
        // 64 bytes at a time: token starts are non-delimiters after a delimiter, token ends are
        // delimiters after a non-delimiter; they alternate, so one walk over both in bit order
        // yields the tokens. inToken carries "the byte before was a non-delimiter" across blocks.
        std::uint64_t inToken = tokenStart != kNoToken;
        for (; chunkEnd - i >= 64; i += 64) {
            const std::uint64_t delimiters = byte_scan::DelimiterMask64<inputText>(text.data() + i);
            const std::uint64_t others = ~delimiters;
            const std::uint64_t before = (others << 1) | inToken;
            const std::uint64_t starts = others & ~before;
            std::uint64_t events = starts | (delimiters & before);
            inToken = others >> 63;
            while (events != 0) {
                const unsigned bit = static_cast<unsigned>(__builtin_ctzll(events));
                if ((starts >> bit) & 1)
                    tokenStart = i + bit;
                else
                    onToken(text.substr(tokenStart, i + bit - tokenStart));
                events &= events - 1;
            }
        }
        if (!inToken) tokenStart = kNoToken;
#endif
        while (i < chunkEnd) {
            if (tokenStart == kNoToken) {
                while (i < chunkEnd && isDelimiter[bytes[i]])
                    ++i;
                if (i == chunkEnd) break;
                tokenStart = i;
            }
            while (i < chunkEnd && !isDelimiter[bytes[i]])
                ++i;
            if (i == chunkEnd) break;
            onToken(text.substr(tokenStart, i - tokenStart));
            tokenStart = kNoToken;
        }
    }
    if (tokenStart != kNoToken) onToken(text.substr(tokenStart));
    return job_progress::FinishScan(progress, maximum);
}

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

// The conditions compiled for many tokens: the first bytes of the prefixes and the last bytes
// of the suffixes rule out most tokens before any comparison. The decisions themselves are
// made by the text rules, so the result equals MatchToken's.
class Matcher
{
public:
    explicit Matcher(const Conditions &conditions)
        : m_conditions(conditions)
    {
        for (const auto &prefix : conditions.prefixes) {
            if (prefix.empty())
                m_keepAll = true;
            else
                m_prefixFirst[static_cast<unsigned char>(prefix.front())] = true;
        }
        for (const auto &suffix : conditions.suffixes) {
            if (!suffix.empty()) m_suffixLast[static_cast<unsigned char>(suffix.back())] = true;
        }
        for (const auto &middle : conditions.middles) {
            if (!middle.empty()) m_middles.push_back(middle);
        }
        m_keepsNothing = !m_keepAll
            && std::none_of(m_prefixFirst.begin(), m_prefixFirst.end(), [](bool b) { return b; })
            && std::none_of(m_suffixLast.begin(), m_suffixLast.end(), [](bool b) { return b; }) && m_middles.empty();
    }

    bool keepsNothing() const { return m_keepsNothing; }

    bool match(std::string_view token, std::string_view &kept) const
    {
        if (!token.empty() && (IsBlank(token.front()) || IsBlank(token.back()))) token = func_token::TrimBlanks(token);
        if (m_keepAll) {
            kept = token;
            return true;
        }
        if (token.empty()) return false;
        // starts_with is HasPrefix itself; ends_with only rules out, HasSuffix also checks that
        // the suffix does not begin on a trail byte.
        if (m_prefixFirst[static_cast<unsigned char>(token.front())]) {
            for (const auto &prefix : m_conditions.prefixes) {
                if (token.starts_with(prefix)) {
                    kept = token;
                    return true;
                }
            }
        }
        if (m_suffixLast[static_cast<unsigned char>(token.back())]) {
            for (const auto &suffix : m_conditions.suffixes) {
                if (!suffix.empty() && token.ends_with(suffix) && func_token::HasSuffix(suffix, token)) {
                    kept = token;
                    return true;
                }
            }
        }
        for (const std::string_view middle : m_middles) {
            if (token.find(middle) != std::string_view::npos && func_token::ContainsText(token, middle)) {
                kept = token;
                return true;
            }
        }
        return false;
    }

private:
    const Conditions &m_conditions;
    bool m_keepAll = false;
    bool m_keepsNothing = false;
    ByteTable m_prefixFirst {};
    ByteTable m_suffixLast {};
    std::vector<std::string_view> m_middles;
};

// Stages 2 and 3 over an input text, keeping only the matching tokens.
bool ScanAndFilter(
    StringList &kept, std::string_view text, const Conditions &conditions, job_progress::JobProgress *progress)
{
    text = UpToNul(text);
    const std::int64_t maximum = progress ? PreparedLength(text) : 0;
    job_progress::BeginScan(progress, maximum);
    const Matcher matcher(conditions);
    bool completed;
    if (matcher.keepsNothing()) {
        // Still a full scan, so progress and stopping behave as for any other run.
        completed = ScanTokens<true>(text, progress, maximum, [](std::string_view) {});
    } else {
        completed = ScanTokens<true>(text, progress, maximum, [&](std::string_view token) {
            std::string_view trimmed;
            if (matcher.match(token, trimmed)) kept.emplace_back(trimmed);
        });
    }
    if (!completed) kept.clear();
    return completed;
}

} // namespace

std::string FlattenLines(std::string_view text, std::size_t spareCapacity)
{
    text = UpToNul(text);
    std::string out;
    if (text.empty()) return out;
    out.reserve(text.size() + 1 + spareCapacity);
    out.resize(text.size() + 1);
    char *o = out.data();
    *o++ = ' ';
    const char *p = text.data();
    const char *const end = p + text.size();
    while (p < end) {
        const char *lineEnd = byte_scan::FindEither(p, end, '\r', '\n');
        std::memcpy(o, p, static_cast<std::size_t>(lineEnd - p));
        o += lineEnd - p;
        if (lineEnd == end) break;
        p = lineEnd + 1;
        if (*lineEnd == '\r' && p < end && *p == '\n') ++p;
        // A break at the very end starts no further line.
        if (p < end) *o++ = ' ';
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

std::string PrepareText(std::string_view text)
{
    std::string out = FlattenLines(text);
    std::replace(out.begin(), out.end(), '"', ' ');
    return out;
}

std::int64_t PreparedLength(std::string_view text)
{
    text = UpToNul(text);
    const std::size_t size = text.size();
    if (size == 0) return 0;
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    // Every line gets one space and loses its break: the prepared text is one space plus the
    // text with each break (CR LF, CR or LF) made one space, a final break dropped.
    std::size_t cr = 0, lf = 0, crlf = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time, with a byte-wide counter per lane (a match compares as -1)
    // folded into the totals every 255 blocks, before a lane can overflow. A CR LF pair is a CR
    // whose next byte, read one byte further on, is an LF.
    const __m128i crByte = _mm_set1_epi8('\r');
    const __m128i lfByte = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    __m128i crTotal = zero, lfTotal = zero, crlfTotal = zero;
    while (size - i > 16) {
        __m128i crLanes = zero, lfLanes = zero, crlfLanes = zero;
        for (int block = 0; block < 255 && size - i > 16; ++block, i += 16) {
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + i));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + i + 1));
            const __m128i isCr = _mm_cmpeq_epi8(b, crByte);
            crLanes = _mm_sub_epi8(crLanes, isCr);
            lfLanes = _mm_sub_epi8(lfLanes, _mm_cmpeq_epi8(b, lfByte));
            crlfLanes = _mm_sub_epi8(crlfLanes, _mm_and_si128(isCr, _mm_cmpeq_epi8(next, lfByte)));
        }
        crTotal = _mm_add_epi64(crTotal, _mm_sad_epu8(crLanes, zero));
        lfTotal = _mm_add_epi64(lfTotal, _mm_sad_epu8(lfLanes, zero));
        crlfTotal = _mm_add_epi64(crlfTotal, _mm_sad_epu8(crlfLanes, zero));
    }
    const auto sum = [](__m128i v) {
        return static_cast<std::size_t>(_mm_cvtsi128_si64(v))
            + static_cast<std::size_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(v, v)));
    };
    cr += sum(crTotal);
    lf += sum(lfTotal);
    crlf += sum(crlfTotal);
#endif
    for (; i + 1 < size; ++i) {
        cr += bytes[i] == '\r';
        lf += bytes[i] == '\n';
        crlf += (bytes[i] == '\r') & (bytes[i + 1] == '\n');
    }
    cr += bytes[size - 1] == '\r';
    lf += bytes[size - 1] == '\n';
    const bool endsWithBreak = bytes[size - 1] == '\r' || bytes[size - 1] == '\n';
    const std::size_t breaks = cr + lf - crlf;
    const std::size_t lines = breaks + (endsWithBreak ? 0 : 1);
    return static_cast<std::int64_t>(size - (cr + lf) + lines);
}

bool ExtractTokens(StringList &tokens, std::string_view preparedText, job_progress::JobProgress *progress)
{
    const auto maximum = static_cast<std::int64_t>(preparedText.size());
    job_progress::BeginScan(progress, maximum);
    const bool completed = ScanTokens<false>(
        preparedText, progress, maximum, [&](std::string_view token) { tokens.emplace_back(token); });
    if (!completed) tokens.clear();
    return completed;
}

bool ExtractTextTokens(StringList &tokens, std::string_view text, job_progress::JobProgress *progress)
{
    text = UpToNul(text);
    const std::int64_t maximum = progress ? PreparedLength(text) : 0;
    job_progress::BeginScan(progress, maximum);
    const bool completed
        = ScanTokens<true>(text, progress, maximum, [&](std::string_view token) { tokens.emplace_back(token); });
    if (!completed) tokens.clear();
    return completed;
}

bool MatchToken(std::string_view token, const Conditions &conditions, std::string_view &kept)
{
    const std::string_view t = func_token::TrimBlanks(token);
    for (const auto &prefix : conditions.prefixes) {
        if (func_token::HasPrefix(prefix, t)) {
            kept = t;
            return true;
        }
    }
    for (const auto &suffix : conditions.suffixes) {
        if (func_token::HasSuffix(suffix, t)) {
            kept = t;
            return true;
        }
    }
    for (const auto &middle : conditions.middles) {
        if (func_token::ContainsText(t, middle)) {
            kept = t;
            return true;
        }
    }
    return false;
}

StringList FilterTokens(std::string_view text, const Conditions &conditions)
{
    StringList kept;
    ScanAndFilter(kept, text, conditions, nullptr);
    return kept;
}

ExtractionResult RunExtraction(std::string_view input, const Conditions &conditions,
    const cnv_table::TablePairs &tables, job_progress::JobProgress *progress)
{
    ExtractionResult result;

    // Stage 1: the auto-run tables, on a copy of the input.
    if (progress) progress->setCaption("自動変換中");
    std::string working;
    std::string_view text = input;
    if (!tables.before.empty()) {
        working.assign(input);
        if (!cnv_table::ApplyPairs(working, tables.before, tables.after, progress)) {
            result.stopped = true;
            return result;
        }
        text = working;
    } else if (progress) {
        progress->setMaximum(0);
    }

    // Stages 2 and 3.
    if (progress) progress->setCaption("抽出中");
    if (!ScanAndFilter(result.urls, text, conditions, progress)) result.stopped = true;
    return result;
}

} // namespace extraction

namespace extract_stream
{

bool ForEachMatch(std::string_view text, const extraction::Conditions &conditions, job_progress::JobProgress *progress,
    const Emit &emit)
{
    using namespace extraction;
    if (progress) progress->setCaption("抽出中");
    text = UpToNul(text);
    const std::int64_t maximum = progress ? PreparedLength(text) : 0;
    job_progress::BeginScan(progress, maximum);
    const Matcher matcher(conditions);
    if (matcher.keepsNothing()) return ScanTokens<true>(text, progress, maximum, [](std::string_view) {});
    return ScanTokens<true>(text, progress, maximum, [&](std::string_view token) {
        std::string_view trimmed;
        if (matcher.match(token, trimmed)) emit(trimmed);
    });
}

} // namespace extract_stream
