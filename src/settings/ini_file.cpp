#include "settings/ini_file.h"

#include <limits>

namespace ini_file
{
namespace
{

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view TrimSpaces(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// What one line of the file is. A line that is neither a section header nor a key line
// (comments, blank lines, garbage) is kept as it stands and otherwise ignored.
struct LineInfo {
    enum Kind { Other, Section, Key } kind = Other;
    std::string_view name; // section or key name, trimmed
    std::string_view value; // key value, trimmed
};

LineInfo Classify(std::string_view line, bool first)
{
    if (first && line.substr(0, kUtf8Bom.size()) == kUtf8Bom) line.remove_prefix(kUtf8Bom.size());
    LineInfo info;
    const std::string_view t = TrimSpaces(line);
    if (t.empty() || t.front() == ';') return info;
    if (t.front() == '[') {
        const std::string_view inner = t.substr(1);
        info.kind = LineInfo::Section;
        info.name = TrimSpaces(inner.substr(0, inner.find(']')));
        return info;
    }
    const auto eq = t.find('=');
    if (eq == std::string_view::npos) return info;
    info.kind = LineInfo::Key;
    info.name = TrimSpaces(t.substr(0, eq));
    info.value = TrimSpaces(t.substr(eq + 1));
    return info;
}

// A value must stay on its line: anything from the first CR or LF on is dropped.
std::string_view OneLine(std::string_view value)
{
    return value.substr(0, value.find_first_of("\r\n"));
}

// Calls visit with each line of a file as it was read (without its line end).
template <class Visit> void forEachInputLine(std::string_view bytes, Visit visit)
{
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            visit(bytes.substr(pos));
            return;
        }
        visit(bytes.substr(pos, end - pos));
        pos = end + 1;
        if (bytes[end] == '\r' && pos < bytes.size() && bytes[pos] == '\n') ++pos;
    }
}

} // namespace

void IniFile::parse(std::string_view bytes)
{
    // CR LF, a lone LF and a lone CR each end a line; a final break adds no empty line. The
    // size is worked out first so the text is allocated once.
    std::size_t size = 0;
    forEachInputLine(bytes, [&](std::string_view line) { size += line.size() + 2; });
    m_text.clear();
    m_text.reserve(size);
    forEachInputLine(bytes, [&](std::string_view line) {
        m_text += line;
        m_text += "\r\n";
    });
}

std::string IniFile::serialize() const
{
    return m_text;
}

namespace
{

struct LineSpan {
    std::size_t begin = std::string::npos; // npos: not found
    std::size_t end = 0; // before the CR LF
};

// Calls visit(begin, end, line) for each line of a normalised text until it returns false.
template <class Visit> void forEachLine(const std::string &text, Visit visit)
{
    for (std::size_t begin = 0; begin < text.size();) {
        std::size_t end = text.find('\r', begin);
        if (end == std::string::npos) end = text.size();
        if (!visit(begin, end, std::string_view(text).substr(begin, end - begin))) return;
        begin = end + 2;
    }
}

// The line holding section/key (first match in file order).
LineSpan FindKey(const std::string &text, std::string_view section, std::string_view key)
{
    LineSpan found;
    bool inSection = false;
    forEachLine(text, [&](std::size_t begin, std::size_t end, std::string_view line) {
        const LineInfo info = Classify(line, begin == 0);
        if (info.kind == LineInfo::Section) {
            inSection = EqualsIgnoreCase(info.name, section);
        } else if (inSection && info.kind == LineInfo::Key && EqualsIgnoreCase(info.name, key)) {
            found = { begin, end };
            return false;
        }
        return true;
    });
    return found;
}

} // namespace

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    const LineSpan at = FindKey(m_text, section, key);
    if (at.begin == std::string::npos) return std::string(defaultValue);
    return std::string(Classify(std::string_view(m_text).substr(at.begin, at.end - at.begin), at.begin == 0).value);
}

long IniFile::ReadInteger(std::string_view section, std::string_view key, long defaultValue) const
{
    const LineSpan at = FindKey(m_text, section, key);
    long value = 0;
    if (at.begin == std::string::npos) return defaultValue;
    const std::string_view line = std::string_view(m_text).substr(at.begin, at.end - at.begin);
    return ParseIniInteger(Classify(line, at.begin == 0).value, value) ? value : defaultValue;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    std::string line(key);
    line += '=';
    line += OneLine(value);

    const LineSpan found = FindKey(m_text, section, key);
    if (found.begin != std::string::npos) {
        m_text.replace(found.begin, found.end - found.begin, line);
        return;
    }
    // A new key goes after the last non-blank line of the first section of that name.
    std::size_t insertAt = std::string::npos;
    bool inSection = false;
    std::string_view lastLine;
    forEachLine(m_text, [&](std::size_t begin, std::size_t end, std::string_view text) {
        lastLine = text;
        const LineInfo info = Classify(text, begin == 0);
        if (info.kind == LineInfo::Section) {
            if (insertAt != std::string::npos) return false;
            inSection = EqualsIgnoreCase(info.name, section);
            if (inSection) insertAt = end + 2;
        } else if (inSection && !TrimSpaces(text).empty()) {
            insertAt = end + 2;
        }
        return true;
    });
    line += "\r\n";
    if (insertAt != std::string::npos) {
        m_text.insert(insertAt, line);
        return;
    }
    // A new section goes at the end, after one blank line.
    if (!m_text.empty() && !TrimSpaces(lastLine).empty()) m_text += "\r\n";
    m_text += '[';
    m_text += section;
    m_text += "]\r\n";
    m_text += line;
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, long value)
{
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

bool ParseIniInteger(std::string_view text, long &value)
{
    text = TrimSpaces(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    unsigned base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty()) return false;
    // Accumulate as a magnitude so that the most negative value still parses.
    const unsigned long limit = negative ? static_cast<unsigned long>(std::numeric_limits<long>::max()) + 1
                                         : std::numeric_limits<long>::max();
    unsigned long magnitude = 0;
    for (const char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        if (magnitude > (limit - digit) / base) return false;
        magnitude = magnitude * base + digit;
    }
    value = negative ? static_cast<long>(0 - magnitude) : static_cast<long>(magnitude);
    return true;
}

} // namespace ini_file
