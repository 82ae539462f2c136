#pragma once
// Extraction: auto-run tables on a copy of the text (stage 1), cut it into tokens at
// space, '<', '>' and apostrophe after flattening it to one line with its double quotes
// turned into spaces (stage 2), and keep the trimmed tokens that match a condition (stage 3).
#include "base/job_progress.h"
#include "tables/cnv_table.h"
#include "text/func_token.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace extraction
{

using func_token::StringList;

struct Conditions {
    StringList prefixes; // checked items of the prefix list, in order
    StringList middles;
    StringList suffixes;
};

// SplitLines, then a space before every line, joined into one line. spareCapacity bytes are
// reserved beyond the result for a caller that lengthens it in place.
std::string FlattenLines(std::string_view text, std::size_t spareCapacity = 0);
// Stage 2, step 1-2: SplitLines, a space before every line, double quotes made spaces.
std::string PrepareText(std::string_view text);
// Byte length of PrepareText(text), computed without building it.
std::int64_t PreparedLength(std::string_view text);
// Stage 2: tokens of a prepared text. With progress: maximum L, position published per chunk,
// stop read per chunk; returns false when stopped (tokens then cleared).
bool ExtractTokens(StringList &tokens, std::string_view preparedText, job_progress::JobProgress *progress = nullptr);
// Stage 2 straight from an input text: the same tokens as ExtractTokens(PrepareText(text)),
// and the same maximum and final position, without building the prepared text.
bool ExtractTextTokens(StringList &tokens, std::string_view text, job_progress::JobProgress *progress = nullptr);
// Stage 3 on one token: TrimBlanks, then prefix, suffix, middle tests. Returns true and sets
// kept when the token is kept.
bool MatchToken(std::string_view token, const Conditions &conditions, std::string_view &kept);
// Stages 2 and 3 on an input text (no tables).
StringList FilterTokens(std::string_view text, const Conditions &conditions);

struct ExtractionResult {
    bool stopped = false;
    StringList urls; // to be appended to the URL list
};

// The whole job: stage 1 with the pairs of the auto-run tables, stages 2 and 3.
// Captions "自動変換中" then "抽出中" are published through progress.
ExtractionResult RunExtraction(std::string_view input, const Conditions &conditions,
    const cnv_table::TablePairs &tables, job_progress::JobProgress *progress = nullptr);

} // namespace extraction
