#pragma once
// HTML link extraction: the values of href (and src, rewritten to href) of the text's tags.
#include "base/job_progress.h"
#include "text/func_token.h"

#include <optional>
#include <string>
#include <string_view>

namespace html_links
{

using func_token::StringList;

// SplitLines, a space before every line, every " src" (any case) made " href".
std::string PrepareHtmlText(std::string_view text);
// Tags ("<" ... ">") of a prepared text. With progress: maximum L, stop read per chunk;
// returns false when stopped (tags then cleared).
bool CollectTags(StringList &tags, std::string_view preparedText, job_progress::JobProgress *progress = nullptr);
// The link of one tag, or nullopt when the tag gives none.
std::optional<std::string> PickLink(std::string_view tag);

struct LinksResult {
    bool stopped = false;
    StringList links;
};
// The whole job; the caption "抽出中" is published through progress.
LinksResult ExtractLinks(std::string_view input, job_progress::JobProgress *progress = nullptr);

} // namespace html_links
