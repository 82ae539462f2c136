#pragma once
// Whole-text rules taken piece by piece, for callers that stream a large text instead of
// copying it: the check that a text already is in source-text form, line and piece cutting
// with views, line-break normalization carried across pieces, and sequence expansion one
// line at a time. Each gives exactly what its whole-text counterpart gives.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace text_stream
{

using Emit = std::function<void(std::string_view)>;

// True when NormalizeLineBreaks(text) == text: no NUL byte, every CR directly followed by an
// LF and every LF directly preceded by a CR. Sixty-four bytes at a time.
bool IsSourceForm(std::string_view text);

// Calls emit for every line SplitLines(text) gives, as views of text, in order.
void ForEachLine(std::string_view text, const Emit &emit);

// The end of the piece of text that starts at from: just after the first LF at or after
// from + size - 1, or text.size() when there is none or the rest is not longer than size.
// Cutting a text after an LF never splits a character of code page 932, EUC-JP or UTF-8,
// nor a %XX escape, nor a CR LF pair.
std::size_t PieceEnd(std::string_view text, std::size_t from, std::size_t size);

// NormalizeLineBreaks over a text given in consecutive pieces: the results of next() for all
// pieces, followed by finish(), make NormalizeLineBreaks of the whole text. A CR that ends a
// piece is held back until the next piece tells whether an LF follows.
class BreakNormalizer
{
public:
    // The normalized form of the next piece: a view of piece itself when nothing changes,
    // otherwise of scratch (which is overwritten). Empty once a NUL has ended the text. With
    // last set the text ends with this piece and nothing is held back.
    std::string_view next(std::string_view piece, std::string &scratch, bool last = false);
    // What the end of the text adds: "\r\n" for a held-back CR, otherwise "".
    std::string_view finish();
    // The text has ended (a NUL byte was met, or the last piece was given): later pieces are
    // ignored.
    bool ended() const { return m_ended; }

private:
    bool m_pendingCr = false;
    bool m_ended = false;
};

// Calls emit for every line ExpandSequence(line) would join with CR, in order: one per
// number of the first [start-end] range, or the line itself when it holds none.
void ForEachExpandedLine(std::string_view line, const Emit &emit);
// The same lines, each followed by eol, appended to out; whenever out reaches flushAt bytes
// it is handed to flush and emptied, so a long range never piles up.
void AppendExpandedLines(
    std::string_view line, std::string_view eol, std::string &out, std::size_t flushAt, const Emit &flush);

// The orders of the list operations over views of the items, as indices into items, without
// copying an item: SortForward (with backward, SortBackward), and RemoveDuplicates (the
// indices of the items it keeps, in the order it keeps them).
std::vector<std::size_t> SortOrder(const std::vector<std::string_view> &items, bool backward);
std::vector<std::size_t> DedupOrder(const std::vector<std::string_view> &items);

} // namespace text_stream
