#pragma once
// URL references taken apart and resolved against a base the way browsers do (the generic
// syntax of URIs): scheme, authority, path, query and fragment, found by the delimiters
// ":", "/", "?" and "#" alone. Every byte is kept as it is; nothing is decoded, folded or
// encoded. Those delimiters are below 0x40, the smallest Shift_JIS trail byte, so a
// double-byte character is never cut.
#include <optional>
#include <string>
#include <string_view>

namespace url_reference
{

struct Parts {
    std::optional<std::string_view> scheme; // without its ":"
    std::optional<std::string_view> authority; // without its "//"
    std::string_view path;
    std::optional<std::string_view> query; // without its "?"
    std::optional<std::string_view> fragment; // without its "#"
};

// Splits a reference into its five components; every text is valid. A scheme is a letter
// followed by letters, digits, "+", "-" or ".", then ":".
Parts Split(std::string_view reference);

// The host of an authority: what stands between "userinfo@" and ":port".
std::string_view HostOf(std::string_view authority);

// The path with its "." and ".." segments worked out.
std::string RemoveDotSegments(std::string_view path);

// The target of reference against base, which must have a scheme; base's fragment is
// ignored. A reference with a scheme of its own comes back exactly as it is.
std::string Resolve(const Parts &base, std::string_view reference);

} // namespace url_reference
