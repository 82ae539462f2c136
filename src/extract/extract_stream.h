#pragma once
// Extraction and link extraction that hand each result to a callback instead of collecting
// strings: for callers that write the results straight out. The results, their order, the
// progress and the stopping are those of the collecting forms.
#include "base/job_progress.h"
#include "extract/extraction.h"

#include <functional>
#include <string_view>

namespace extract_stream
{

using Emit = std::function<void(std::string_view)>;

// The URLs RunExtraction(text, conditions, {}) gives (no tables), each passed to emit as
// a view of text. The caption "抽出中" is published; returns false when stopped (emit may
// have been called for results before the stop).
bool ForEachMatch(std::string_view text, const extraction::Conditions &conditions, job_progress::JobProgress *progress,
    const Emit &emit);

// The links html_links::ExtractLinks(text) gives, each passed to emit (the view is valid
// during the call only), without building the prepared copy of the text. With progress:
// caption "抽出中", maximum the length of text up to its first NUL, position per chunk;
// returns false when stopped.
bool ForEachLink(std::string_view text, job_progress::JobProgress *progress, const Emit &emit);

} // namespace extract_stream
