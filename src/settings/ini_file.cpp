#include "settings/ini_file.h"

#include <limits>

namespace settings
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

} // namespace

void IniFile::parse(std::string_view bytes)
{
    m_lines.clear();
    // CR LF, a lone LF and a lone CR each end a line; a final break adds no empty line.
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            m_lines.emplace_back(bytes.substr(pos));
            break;
        }
        m_lines.emplace_back(bytes.substr(pos, end - pos));
        pos = end + 1;
        if (bytes[end] == '\r' && pos < bytes.size() && bytes[pos] == '\n') ++pos;
    }
}

std::string IniFile::serialize() const
{
    std::size_t total = 0;
    for (const auto &line : m_lines)
        total += line.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto &line : m_lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

namespace
{

// Index of the line holding section/key (first match in file order), or npos.
std::size_t FindKey(const std::vector<std::string> &lines, std::string_view section, std::string_view key)
{
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineInfo info = Classify(lines[i], i == 0);
        if (info.kind == LineInfo::Section)
            inSection = EqualsIgnoreCase(info.name, section);
        else if (inSection && info.kind == LineInfo::Key && EqualsIgnoreCase(info.name, key))
            return i;
    }
    return std::string::npos;
}

} // namespace

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    const std::size_t i = FindKey(m_lines, section, key);
    if (i == std::string::npos) return std::string(defaultValue);
    return std::string(Classify(m_lines[i], i == 0).value);
}

long IniFile::ReadInteger(std::string_view section, std::string_view key, long defaultValue) const
{
    const std::size_t i = FindKey(m_lines, section, key);
    long value = 0;
    if (i == std::string::npos || !ParseIniInteger(Classify(m_lines[i], i == 0).value, value)) return defaultValue;
    return value;
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

    const std::size_t found = FindKey(m_lines, section, key);
    if (found != std::string::npos) {
        m_lines[found] = std::move(line);
        return;
    }
    // A new key goes after the last non-blank line of the first section of that name.
    std::size_t insertAt = std::string::npos;
    bool inSection = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const LineInfo info = Classify(m_lines[i], i == 0);
        if (info.kind == LineInfo::Section) {
            if (insertAt != std::string::npos) break;
            inSection = EqualsIgnoreCase(info.name, section);
            if (inSection) insertAt = i + 1;
        } else if (inSection && !TrimSpaces(m_lines[i]).empty()) {
            insertAt = i + 1;
        }
    }
    if (insertAt != std::string::npos) {
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
        return;
    }
    // A new section goes at the end, after one blank line.
    if (!m_lines.empty() && !TrimSpaces(m_lines.back()).empty()) m_lines.emplace_back();
    m_lines.push_back("[" + std::string(section) + "]");
    m_lines.push_back(std::move(line));
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

} // namespace settings
