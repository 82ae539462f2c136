#pragma once
// A Windows-style ini file ("lanzo.ini"): [SECTION] headers and KEY=value lines. Section and
// key names match without regard to letter case; a write changes one value in place and keeps
// every other line; integers read as decimal, or hexadecimal after 0x or $.
#include <string>
#include <string_view>

namespace ini_file
{

class IniFile
{
public:
    IniFile() = default;
    explicit IniFile(std::string_view bytes) { parse(bytes); }

    void parse(std::string_view bytes);
    std::string serialize() const; // CR LF line ends

    long ReadInteger(std::string_view section, std::string_view key, long defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    void WriteInteger(std::string_view section, std::string_view key, long value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

private:
    // The file with every line ended by CR LF; looked at line by line in place, so a file costs
    // its own size and nothing per line.
    std::string m_text;
};

// Parses an integer as the ini reader does ("12", "-3", "0x1F", "$1F"); false when it does not parse.
bool ParseIniInteger(std::string_view text, long &value);

} // namespace ini_file
