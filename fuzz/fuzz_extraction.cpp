// Tokenizer, matcher and the HTML tag and link picker on arbitrary pages.
#include "extract/extraction.h"
#include "extract/html_links.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view in(reinterpret_cast<const char *>(data), size);
    extraction::Conditions conditions;
    conditions.prefixes = { "http://", "" };
    conditions.suffixes = { ".jpg", "\x83\x41" };
    conditions.middles = { "://" };
    for (const auto &url : extraction::FilterTokens(in, conditions))
        if (url.find_first_of(" <>'\"") != std::string::npos) std::abort();
    func_token::StringList tags;
    html_links::CollectTags(tags, html_links::PrepareHtmlText(in));
    for (const auto &tag : tags) {
        if (tag.front() != '<' || tag.back() != '>') std::abort();
        (void)html_links::PickLink(tag);
    }
    return 0;
}
