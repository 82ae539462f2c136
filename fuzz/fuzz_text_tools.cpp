// URL correction, sequence expansion and the cleanup tools on arbitrary lines.
#include "text/func_lanzo.h"
#include "text/url_reference.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view in(reinterpret_cast<const char *>(data), size);
    const std::size_t cut = in.find('\n');
    const std::string_view base = in.substr(0, cut);
    const std::string_view url = cut == std::string_view::npos ? std::string_view() : in.substr(cut + 1);
    (void)func_lanzo::CorrectUrl(base, url);
    // A reference with a path of its own resolves to a path without "." or ".." segments.
    const auto target = func_lanzo::CorrectUrl("http://h/a/b/c", in);
    const url_reference::Parts reference = url_reference::Split(in);
    if (!target) std::abort();
    if (!reference.scheme && !reference.path.empty()) {
        const std::string path = "/" + std::string(url_reference::Split(*target).path) + "/";
        if (path.find("/./") != std::string::npos || path.find("/../") != std::string::npos) std::abort();
    }

    // Bounded so a wide range in the input cannot make the fuzzer itself run out of memory.
    if (func_lanzo::ExpandedLineCount(in) * (in.size() + 8) <= (std::uint64_t(16) << 20)) {
        const std::string expanded = func_lanzo::ExpandSequence(in);
        (void)expanded;
    }
    (void)func_lanzo::ExpandList({ std::string(base), std::string(url) }, 100000);
    (void)func_lanzo::CutOutTags(in);
    (void)func_lanzo::RemoveTags(in);
    (void)func_lanzo::CleanText(in);
    (void)func_lanzo::TrimLinesText(in);
    (void)func_lanzo::DeleteEmptyLinesText(in);
    return 0;
}
