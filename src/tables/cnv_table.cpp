#include "tables/cnv_table.h"

#include "base/file_io.h"
#include "encoding/jconvert.h"
#include "text/byte_scan.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <dirent.h>

namespace cnv_table
{
namespace
{

using Byte = unsigned char;

// Answers "is the byte at p a trail byte?" for non-decreasing positions in linear total time:
// it looks back only over the run of lead-valued bytes before p (a byte that is not
// lead-valued always ends a character), never past a position known to start a character.
class TrailCursor
{
public:
    explicit TrailCursor(const char *begin)
        : m_begin(begin)
    {
    }

    bool isTrail(std::size_t p)
    {
        std::size_t q = p;
        while (q > m_known && func_token::IsLeadByte(static_cast<Byte>(m_begin[q - 1])))
            --q;
        const bool trail = ((p - q) & 1) != 0;
        m_known = trail ? p - 1 : p;
        return trail;
    }

private:
    const char *m_begin;
    std::size_t m_known = 0;
};

// Reads the stop flag once per job_progress::kScanChunk bytes of progress through the text, so a pass
// over a big text ends within a fraction of a millisecond of a stop. Without a progress there is
// nothing to read and a search covers the whole text at once.
class StopWatch
{
public:
    explicit StopWatch(const job_progress::JobProgress *progress)
        : m_progress(progress)
    {
        restart();
    }

    // A new pass begins at position 0.
    void restart() { m_nextCheck = m_progress ? 0 : std::string::npos; }
    // Whether the pass should end, having reached pos. The flag is read only when pos has passed
    // the next check point.
    bool stopAt(std::size_t pos)
    {
        if (pos < m_nextCheck) return false;
        m_nextCheck = pos + job_progress::kScanChunk;
        m_stopped = m_stopped || m_progress->stopRequested();
        return m_stopped;
    }
    bool stopped() const { return m_stopped; }
    // The position the flag is read at next: a search window ends there.
    std::size_t nextCheck() const { return m_nextCheck; }

private:
    const job_progress::JobProgress *m_progress;
    std::size_t m_nextCheck = 0;
    bool m_stopped = false;
};

// The occurrences ReplaceAll replaces, left to right: not beginning on a trail byte, each
// search going on after the previous occurrence. A search reads the stop flag once per window
// of job_progress::kScanChunk bytes; once stopped it finds nothing more.
class OccurrenceFinder
{
public:
    OccurrenceFinder(const std::string &text, std::string_view pattern, StopWatch &stop)
        : m_begin(text.data())
        , m_end(text.data() + text.size())
        , m_pattern(pattern)
        , m_cursor(text.data())
        , m_stop(stop)
    {
        m_stop.restart();
    }

    // Position of the next occurrence at or after from, or npos (also when stopped).
    std::size_t next(std::size_t from)
    {
        const auto size = static_cast<std::size_t>(m_end - m_begin);
        for (std::size_t pos = from; pos < size;) {
            if (m_stop.stopAt(pos)) return std::string::npos;
            // Occurrences that begin before the window's end; the last may reach past it.
            const std::size_t windowEnd = std::min(size, m_stop.nextCheck());
            const char *searchEnd = m_begin + std::min(size, windowEnd + m_pattern.size() - 1);
            const char *at = byte_scan::FindBytes(m_begin + pos, searchEnd, m_pattern);
            if (at == searchEnd) {
                pos = windowEnd;
                continue;
            }
            const auto found = static_cast<std::size_t>(at - m_begin);
            if (!m_cursor.isTrail(found)) return found;
            pos = found + 1;
        }
        return std::string::npos;
    }

private:
    const char *m_begin;
    const char *m_end;
    std::string_view m_pattern;
    TrailCursor m_cursor;
    StopWatch &m_stop;
};

// text = ReplaceAll(text, before, after), in place when after is not longer than before.
// Returns whether anything was replaced. When stop ends the pass early, text holds the pass's
// result up to some occurrence and the original bytes after it (a growing pass leaves text as
// it was).
bool ReplacePair(std::string &text, std::string_view before, std::string_view after, StopWatch &stop)
{
    if (before.empty() || text.empty()) return false;
    OccurrenceFinder finder(text, before, stop);
    std::size_t match = finder.next(0);
    if (match == std::string::npos) return false;
    const std::size_t n = text.size();
    if (after.size() > before.size()) {
        std::string out;
        out.reserve(n + n / 8);
        std::size_t copied = 0;
        for (; match != std::string::npos; match = finder.next(copied)) {
            out.append(text, copied, match - copied);
            out.append(after);
            copied = match + before.size();
        }
        if (stop.stopped()) return false; // the text stays as it was
        out.append(text, copied, n - copied);
        text.swap(out);
        return true;
    }
    // A replacement is written only once the next occurrence has been found: the trail test of
    // a candidate looks back at bytes from the previous occurrence on, which must still be the
    // original ones. Everything written lies before the occurrence found last.
    char *const data = text.data();
    std::size_t write = 0, read = 0;
    while (match != std::string::npos) {
        const std::size_t following = finder.next(match + before.size());
        if (write != read) std::memmove(data + write, data + read, match - read);
        write += match - read;
        std::memcpy(data + write, after.data(), after.size());
        write += after.size();
        read = match + before.size();
        match = following;
    }
    if (write != read) {
        std::memmove(data + write, data + read, n - read);
        text.resize(write + (n - read));
    }
    return true;
}

// Whether replacing something by inserted could create an occurrence of pattern that was not
// there before. A new occurrence has to overlap the inserted bytes (or, when nothing is
// inserted, span the place where the removed text was).
bool MayCreate(std::string_view pattern, std::string_view inserted)
{
    if (inserted.empty()) return pattern.size() >= 2;
    const auto p = static_cast<std::ptrdiff_t>(pattern.size());
    const auto m = static_cast<std::ptrdiff_t>(inserted.size());
    for (std::ptrdiff_t shift = 1 - p; shift < m; ++shift) {
        bool fits = true;
        for (std::ptrdiff_t k = std::max<std::ptrdiff_t>(0, shift); k < std::min(m, shift + p) && fits; ++k)
            fits = inserted[static_cast<std::size_t>(k)] == pattern[static_cast<std::size_t>(k - shift)];
        if (fits) return true;
    }
    return false;
}

// Which of the patterns may occur in text: false only when the pattern's first two bytes (its
// only byte, for a one-byte pattern) occur nowhere. One pass over the text for all patterns.
std::vector<bool> MayOccur(const std::string &text, const StringList &patterns, std::size_t count, StopWatch &stop)
{
    std::vector<bool> result(count, false);
    std::vector<std::uint64_t> wanted2(1024, 0); // one bit per two-byte value, first byte low
    std::array<bool, 256> wanted1 {};
    std::size_t open = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string &p = patterns[i];
        if (p.empty()) continue;
        if (p.size() == 1) {
            open += !wanted1[static_cast<Byte>(p[0])];
            wanted1[static_cast<Byte>(p[0])] = true;
        } else {
            const unsigned w = static_cast<Byte>(p[0]) | static_cast<unsigned>(static_cast<Byte>(p[1])) << 8;
            open += !((wanted2[w >> 6] >> (w & 63)) & 1);
            wanted2[w >> 6] |= std::uint64_t { 1 } << (w & 63);
        }
    }
    std::vector<std::uint64_t> found2(1024, 0);
    std::array<bool, 256> found1 {};
    const auto *bytes = reinterpret_cast<const Byte *>(text.data());
    const std::size_t n = text.size();
    stop.restart();
    // Each wanted value is taken out once seen, so the rare branch runs at most once per value.
    for (std::size_t chunk = 0; chunk < n && open > 0 && !stop.stopAt(chunk); chunk += job_progress::kScanChunk) {
        const std::size_t chunkEnd = std::min(n, chunk + job_progress::kScanChunk);
        for (std::size_t i = chunk; i < chunkEnd && open > 0; ++i) {
            const unsigned b = bytes[i];
            if (wanted1[b]) {
                wanted1[b] = false;
                found1[b] = true;
                --open;
            }
            if (i + 1 == n) break;
            const unsigned w = b | static_cast<unsigned>(bytes[i + 1]) << 8;
            const std::uint64_t bit = std::uint64_t { 1 } << (w & 63);
            if (wanted2[w >> 6] & bit) {
                wanted2[w >> 6] &= ~bit;
                found2[w >> 6] |= bit;
                --open;
            }
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::string &p = patterns[i];
        if (p.empty()) continue;
        if (p.size() == 1) {
            result[i] = found1[static_cast<Byte>(p[0])];
        } else {
            const unsigned w = static_cast<Byte>(p[0]) | static_cast<unsigned>(static_cast<Byte>(p[1])) << 8;
            result[i] = (found2[w >> 6] >> (w & 63)) & 1;
        }
    }
    return result;
}

} // namespace

void ParseCnvTable(std::string_view bytes, StringList &before, StringList &after)
{
    const auto eof = bytes.find('\x1a');
    if (eof != std::string_view::npos) bytes = bytes.substr(0, eof);

    std::string line;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto lf = bytes.find('\n', pos);
        const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        std::string_view text = bytes.substr(pos, end - pos);
        pos = end + 1;
        // A CR before the LF belongs to the break; any other CR is dropped from the line
        // without ending it. Either way no CR stays.
        if (text.find('\r') != std::string_view::npos) {
            line.clear();
            for (const char c : text) {
                if (c != '\r') line.push_back(c);
            }
            text = line;
        }
        // A NUL byte would end the text the pair is applied to: such a line is no pair.
        if (text.find('\0') != std::string_view::npos) continue;
        // Fields are looked at in place; only a pair is copied.
        std::string_view fields[3];
        std::size_t count = 0, fieldPos = 0;
        while (count < 3 && func_token::NextTabField(text, fieldPos, fields[count]))
            ++count;
        if (count == 2) {
            before.emplace_back(fields[0]);
            after.emplace_back(fields[1]);
        }
    }
}

std::string TablePath(const std::string &tableDir, std::string_view name)
{
    return file_io::JoinPath(tableDir, jconvert::SjisToUtf8Name(name) + ".tbl");
}

error::Result<void> MakeCnvTable(
    StringList &before, StringList &after, std::string_view name, const std::string &tableDir)
{
    error::Result<std::string> read = file_io::ReadWholeFile(TablePath(tableDir, name));
    if (!read && read.error().kind == error::Kind::NotFound) {
        // Discovery lists x.TBL as the table x; where letter case tells file names apart, that
        // spelling is what loading the table x has to find.
        const std::string wanted = jconvert::SjisToUtf8Name(name);
        for (const auto &path : SearchTableFiles(tableDir)) {
            const std::string fileName = file_io::FileNamePart(path);
            if (fileName.size() == wanted.size() + 4 && fileName.compare(0, wanted.size(), wanted) == 0) {
                read = file_io::ReadWholeFile(path);
                break;
            }
        }
    }
    if (!read) return error::Unexpected(std::move(read).error());
    ParseCnvTable(*read, before, after);
    return {};
}

TablePairs LoadTables(const StringList &names, const std::string &tableDir)
{
    TablePairs pairs;
    for (const auto &name : names)
        static_cast<void>(MakeCnvTable(pairs.before, pairs.after, name, tableDir));
    return pairs;
}

std::vector<std::string> SearchTableFiles(const std::string &dir)
{
    std::vector<std::string> found;
    DIR *listing = ::opendir(dir.c_str());
    if (!listing) return found;
    while (const dirent *entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || name.size() < 4) continue;
        const std::string_view ext = name.substr(name.size() - 4);
        bool matches = ext[0] == '.';
        for (std::size_t i = 1; i < 4 && matches; ++i)
            matches = (ext[i] | 0x20) == ".tbl"[i];
        if (matches) found.push_back(file_io::JoinPath(dir, std::string(name)));
    }
    ::closedir(listing);
    return found;
}

std::string TableNameFromPath(std::string_view path)
{
    const auto slash = path.rfind('/');
    const std::string_view fileName = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::string name = jconvert::Utf8ToSjisName(fileName);
    return func_token::LeftChars(name, static_cast<long>(func_token::CharCount(name)) - 4);
}

bool ApplyPairs(
    std::string &text, const StringList &before, const StringList &after, job_progress::JobProgress *progress)
{
    const std::size_t count = std::min(before.size(), after.size());
    if (progress) progress->setMaximum(static_cast<std::int64_t>(count));
    // The flag is read between pairs and, through stop, inside each pass over the text.
    StopWatch stop(progress);
    // A pair whose before text cannot occur is skipped without a pass over the text. What may
    // occur is known for the input and kept up to date as the pairs change the text.
    std::vector<bool> mayOccur = MayOccur(text, before, count, stop);
    for (std::size_t i = 0; i < count && !stop.stopped(); ++i) {
        const bool replaced = mayOccur[i] && ReplacePair(text, before[i], after[i], stop);
        if (stop.stopped()) break;
        if (replaced) {
            for (std::size_t k = i + 1; k < count; ++k)
                if (!mayOccur[k] && !before[k].empty() && MayCreate(before[k], after[i])) mayOccur[k] = true;
        }
        if (!job_progress::ContinueScan(progress, static_cast<std::int64_t>(i + 1))) return false;
    }
    if (stop.stopped()) {
        progress->setPosition(0);
        return false;
    }
    return true;
}

} // namespace cnv_table
