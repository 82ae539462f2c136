#include "text/url_reference.h"

namespace url_reference
{

namespace
{

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isSchemeChar(char c)
{
    return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// Drops the last segment of out and the "/" before it.
void dropLastSegment(std::string &out)
{
    const std::size_t slash = out.rfind('/');
    out.erase(slash == std::string::npos ? 0 : slash);
}

// A relative path appended to the base's directory: everything of the base's path up to its
// last "/"; a base with a host but no path stands for "/".
std::string merge(const Parts &base, std::string_view path)
{
    std::string merged;
    if (base.authority && base.path.empty()) {
        merged.reserve(path.size() + 1);
        merged += '/';
    } else {
        const std::size_t slash = base.path.rfind('/');
        const std::string_view directory = slash == std::string_view::npos ? "" : base.path.substr(0, slash + 1);
        merged.reserve(directory.size() + path.size());
        merged += directory;
    }
    merged += path;
    return merged;
}

} // namespace

Parts Split(std::string_view reference)
{
    Parts parts;
    std::string_view rest = reference;
    if (!rest.empty() && isAsciiLetter(rest[0])) {
        std::size_t i = 1;
        while (i < rest.size() && isSchemeChar(rest[i]))
            ++i;
        if (i < rest.size() && rest[i] == ':') {
            parts.scheme = rest.substr(0, i);
            rest.remove_prefix(i + 1);
        }
    }
    if (const std::size_t hash = rest.find('#'); hash != std::string_view::npos) {
        parts.fragment = rest.substr(hash + 1);
        rest = rest.substr(0, hash);
    }
    if (const std::size_t question = rest.find('?'); question != std::string_view::npos) {
        parts.query = rest.substr(question + 1);
        rest = rest.substr(0, question);
    }
    if (rest.substr(0, 2) == "//") {
        const std::size_t end = rest.find('/', 2);
        parts.authority = rest.substr(2, end == std::string_view::npos ? std::string_view::npos : end - 2);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    }
    parts.path = rest;
    return parts;
}

std::string_view HostOf(std::string_view authority)
{
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    // An IPv6 address in brackets holds colons of its own.
    const std::size_t close = authority.find(']');
    const std::size_t colon = authority.find(':', close == std::string_view::npos ? 0 : close);
    return authority.substr(0, colon);
}

std::string RemoveDotSegments(std::string_view in)
{
    std::string out;
    out.reserve(in.size());
    while (!in.empty()) {
        if (in.starts_with("../")) {
            in.remove_prefix(3);
        } else if (in.starts_with("./")) {
            in.remove_prefix(2);
        } else if (in.starts_with("/./")) {
            in.remove_prefix(2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.starts_with("/../")) {
            in.remove_prefix(3);
            dropLastSegment(out);
        } else if (in == "/..") {
            in = "/";
            dropLastSegment(out);
        } else if (in == "." || in == "..") {
            in = {};
        } else {
            // The first segment, with its leading "/", up to the next "/".
            const std::size_t end = in.find('/', 1);
            out += in.substr(0, end);
            in.remove_prefix(end == std::string_view::npos ? in.size() : end);
        }
    }
    return out;
}

std::string Resolve(const Parts &base, std::string_view reference)
{
    const Parts ref = Split(reference);
    if (ref.scheme) return std::string(reference);

    std::optional<std::string_view> authority = base.authority;
    std::string path;
    std::optional<std::string_view> query = ref.query;
    if (ref.authority) {
        authority = ref.authority;
        path = RemoveDotSegments(ref.path);
    } else if (ref.path.empty()) {
        path = base.path;
        if (!query) query = base.query;
    } else if (ref.path.front() == '/') {
        path = RemoveDotSegments(ref.path);
    } else {
        path = RemoveDotSegments(merge(base, ref.path));
    }

    std::string target;
    target.reserve(base.scheme->size() + reference.size() + base.path.size() + (authority ? authority->size() : 0) + 8);
    target += *base.scheme;
    target += ':';
    if (authority) {
        target += "//";
        target += *authority;
    }
    target += path;
    if (query) {
        target += '?';
        target += *query;
    }
    if (ref.fragment) {
        target += '#';
        target += *ref.fragment;
    }
    return target;
}

} // namespace url_reference
