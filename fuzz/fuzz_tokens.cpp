// The tokenizer and matcher with conditions taken from the input, and the two ways of reaching
// the tokens (through the prepared text and straight from the input) compared with each other.
#include "extract/extraction.h"
#include "extract/html_links.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using func_token::StringList;

namespace
{

// Conditions are the first lines of the input, up to a line "--": lines starting with 'p',
// 'm' or 's' add a prefix, middle or suffix (the rest of the line).
std::string_view ReadConditions(std::string_view in, extraction::Conditions &conditions)
{
    while (!in.empty()) {
        const std::size_t end = in.find('\n');
        const std::string_view line = in.substr(0, end);
        in = end == std::string_view::npos ? std::string_view() : in.substr(end + 1);
        if (line == "--") break;
        if (line.empty()) continue;
        const std::string value(line.substr(1));
        switch (line[0]) {
        case 'p':
            conditions.prefixes.push_back(value);
            break;
        case 'm':
            conditions.middles.push_back(value);
            break;
        case 's':
            conditions.suffixes.push_back(value);
            break;
        default:
            break;
        }
    }
    return in;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    extraction::Conditions conditions;
    const std::string_view text
        = ReadConditions(std::string_view(reinterpret_cast<const char *>(data), size), conditions);

    const std::string prepared = extraction::PrepareText(text);
    if (extraction::PreparedLength(text) != static_cast<std::int64_t>(prepared.size())) std::abort();
    if (prepared.find_first_of("\r\n\"") != std::string::npos) std::abort();

    StringList viaPrepared, direct;
    job_progress::JobProgress p1, p2;
    if (!extraction::ExtractTokens(viaPrepared, prepared, &p1)) std::abort();
    if (!extraction::ExtractTextTokens(direct, text, &p2)) std::abort();
    if (viaPrepared != direct) std::abort();
    if (p1.maximum() != p2.maximum() || p1.position() != p2.position()) std::abort();

    // Every kept URL is a token that the matcher keeps, and no kept URL holds a cut character.
    const StringList urls = extraction::FilterTokens(text, conditions);
    std::size_t kept = 0;
    for (const std::string &token : direct) {
        std::string_view url;
        if (extraction::MatchToken(token, conditions, url)) {
            if (kept >= urls.size() || urls[kept] != url) std::abort();
            ++kept;
        }
    }
    if (kept != urls.size()) std::abort();
    for (const std::string &url : urls)
        if (url.find_first_of(" <>'\"") != std::string::npos) std::abort();

    // The whole job without tables gives the same URLs.
    const auto job = extraction::RunExtraction(text, conditions, {});
    if (job.stopped || job.urls != urls) std::abort();

    const auto links = html_links::ExtractLinks(text);
    if (links.stopped) std::abort();
    return 0;
}
