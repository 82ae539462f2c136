#pragma once
// The text tools over the source text and the URL list: URL correction, sequence
// expansion, source cleanup, the link page, the URL list operations and the control
// panel's search helpers. Pure functions over byte strings.
#include "base/error.h"
#include "text/func_token.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace func_lanzo
{

using func_token::StringList;

// ---- URL correction -------------------------------------------------------------------

// The URL as a browser would load it from a page at base: a URL with a scheme of its own as
// it is, any other resolved against base ("//host/x", "/x", "x", "?q", "#f", with "." and
// ".." segments worked out), every byte copied as it is. Blanks around base are ignored, and
// a base without a scheme is read as http. An empty base leaves the URL as it is;
// std::nullopt when base has no host and the URL needs one.
std::optional<std::string> CorrectUrl(std::string_view base, std::string_view url);

// The "ＵＲＬ補正" command on a whole list, in place. It stops at the first item that needs a
// host the base lacks (BaseWithoutHost: position is that item's index, found the base); that
// item and those after it stay as they were. An empty base leaves the list unchanged.
error::Result<void> CorrectList(std::string_view base, StringList &items);

// ---- Sequence expansion ---------------------------------------------------------------

// One line: the first [start-end] range expanded, lines joined by a single CR.
std::string ExpandSequence(std::string_view line);
// Number of lines ExpandSequence(line) would produce, without producing them.
std::uint64_t ExpandedLineCount(std::string_view line);

// Default bound on the lines one expansion of the whole list may produce.
constexpr std::uint64_t kMaxExpandedLines = 10'000'000;
// The "[00-99]連番展開" command: join of the expansions with CR, then SplitLines.
// Refuses (TooManyLines: count is the lines it would give) when the output would pass maxLines.
error::Result<StringList> ExpandList(const StringList &items, std::uint64_t maxLines = kMaxExpandedLines);

// ---- Source cleanup -------------------------------------------------------------------

StringList CutOutTags(std::string_view text);
StringList RemoveTags(std::string_view text);
// Whole-text commands; each returns the new source text (lines ended by CR LF as the
// editor holds them).
std::string CutOutTagsText(std::string_view text); // "ＨＴＭＬタグ切り出し"
std::string RemoveTagsText(std::string_view text); // "ＨＴＭＬタグの除去"
std::string TrimLinesText(std::string_view text); // "前後の空白除去"
std::string DeleteEmptyLinesText(std::string_view text); // "空行削除"
std::string CleanText(std::string_view text); // "タグ＋空白＋空行除去"

// The five commands above, streamed: the text is read in place, tag by tag or line by line,
// with no joined copy and no list, and the result (exactly the bytes the *Text function
// returns) is appended to out. Whenever out reaches flushAt bytes it is handed to flush and
// emptied, so a caller that writes the result out never holds all of it.
enum class Cleanup { CutOutTags, RemoveTags, TrimLines, DeleteEmptyLines, Clean };
void AppendCleanupText(Cleanup command, std::string_view text, std::string &out,
    std::size_t flushAt = std::numeric_limits<std::size_t>::max(),
    const std::function<void(std::string_view)> &flush = {});

// ---- Link collection page -------------------------------------------------------------

// The page's bytes: header, one escaped list item per URL, footer, CR LF line ends.
std::string MakeLinkPage(const StringList &items);
// The same page in parts, for writing it in blocks: the header, then one line per item
// appended with AppendLinkPageItem, then the footer.
std::string_view LinkPageHeader();
void AppendLinkPageItem(std::string &out, std::string_view item);
std::string_view LinkPageFooter();

// ---- URL list operations --------------------------------------------------------------

void SortForward(StringList &items);
void SortBackward(StringList &items);
void RemoveDuplicates(StringList &items);
// "コピー" / "すべてをコピー": the non-empty items where selected[i] (every item when
// selected is empty), joined by CR LF, then TrimBlanks. For "コピー" with nothing selected
// pass a vector of false values, not an empty one.
std::string CopyItemsText(const StringList &items, const std::vector<bool> &selected);

// ---- Control panel helpers ------------------------------------------------------------

// The items a combo box's history keeps.
constexpr std::size_t kComboHistoryLimit = 5;
// Records text in a combo box's history (oldest first); at most one item is removed.
void AddComboHistory(StringList &history, std::string_view text, std::size_t limit = kComboHistoryLimit);
// Byte offset of the next occurrence of key at or after selectionEnd, wrapping around to
// the start; std::nullopt when key is empty or not found.
std::optional<std::size_t> FindInSource(std::string_view text, std::string_view key, std::size_t selectionEnd);
// Indices of the items that contain key (ContainsText).
std::vector<std::size_t> SelectMatchingItems(const StringList &items, std::string_view key);

} // namespace func_lanzo
