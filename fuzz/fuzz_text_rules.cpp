// The text rules on arbitrary bytes: no crash, and the invariants that must hold for any input.
#include "text/func_token.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace func_token;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2) return 0;
    // The first byte splits the input into a text and a pattern.
    const std::size_t cut = 1 + data[0] % (size - 1);
    const std::string_view text(reinterpret_cast<const char *>(data) + 1, cut - 1);
    const std::string_view pattern(reinterpret_cast<const char *>(data) + cut, size - cut);

    const std::size_t n = CharCount(text);
    if (n > text.size()) std::abort();
    std::string rebuilt;
    for (long i = 1; i <= static_cast<long>(n); ++i)
        rebuilt += CharAt(text, i);
    if (rebuilt != text) std::abort();
    if (MidChars(text, 1, static_cast<long>(n)) != text) std::abort();

    StringList list;
    SplitTabFields(list, text);
    SplitTokens(list, text, pattern.substr(0, 4));
    for (const auto &line : SplitLines(text))
        if (line.find_first_of("\r\n") != std::string::npos) std::abort();

    const bool contains = ContainsText(text, pattern);
    if (contains && text.find(pattern) == std::string_view::npos) std::abort();
    if (contains && !ContainsTextIgnoreCase(text, pattern)) std::abort();
    if (HasPrefix(pattern, text) != (text.substr(0, pattern.size()) == pattern)) std::abort();
    (void)HasSuffix(pattern, text);

    const std::string replaced = ReplaceAll(text, pattern, "");
    if (!contains && replaced != text) std::abort();
    (void)ReplaceAllIgnoreCase(text, pattern, "xy");
    const std::string_view trimmed = TrimBlanks(text);
    if (!trimmed.empty()
        && (static_cast<unsigned char>(trimmed.front()) <= 0x20 || static_cast<unsigned char>(trimmed.back()) <= 0x20))
        std::abort();
    (void)NormalizeLineBreaks(text);
    return 0;
}
