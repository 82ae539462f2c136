#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <climits>

namespace
{

using ini_file::IniFile;
using ini_file::ParseIniInteger;

struct IntegerCase {
    const char *text;
    bool ok;
    long value;
};

TEST(ParseIniInteger, DecimalAndHexOnly)
{
    const IntegerCase cases[] = {
        { "12", true, 12 },
        { "-3", true, -3 },
        { "+7", true, 7 },
        { " 42\t", true, 42 },
        { "0", true, 0 },
        { "0x1F", true, 31 },
        { "0X1f", true, 31 },
        { "$1F", true, 31 },
        { "-$10", true, -16 },
        { "9223372036854775807", true, LONG_MAX },
        { "-9223372036854775808", true, LONG_MIN },
        { "0x7FFFFFFFFFFFFFFF", true, LONG_MAX },
        { "abc", false, 0 },
        { "", false, 0 },
        { "-", false, 0 },
        { "0x", false, 0 },
        { "$", false, 0 },
        { "12abc", false, 0 },
        { "1 2", false, 0 },
        { "1.5", false, 0 },
        { "0x1G", false, 0 },
        { "$-1", false, 0 },
        { "9223372036854775808", false, 0 },
        { "0x8000000000000000", false, 0 },
        { "99999999999999999999999", false, 0 },
    };
    for (const auto &c : cases) {
        long value = 777;
        EXPECT_EQ(ParseIniInteger(c.text, value), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(value, c.ok ? c.value : 777) << '"' << c.text << "\" must leave the value alone on failure";
    }
}

struct ReadCase {
    const char *name;
    const char *file;
    const char *section;
    const char *key;
    long want; // default is 500
};

TEST(IniFile, ReadsIntegersWithDefaults)
{
    const ReadCase cases[] = {
        { "plain", "[WINDOW]\r\nWIDTH=640\r\n", "WINDOW", "WIDTH", 640 },
        { "names ignore case", "[window]\r\nwidth=640\r\n", "WINDOW", "Width", 640 },
        { "lf only", "[WINDOW]\nHEIGHT=1\nWIDTH=640\n", "WINDOW", "WIDTH", 640 },
        { "lone cr", "[WINDOW]\rWIDTH=640\r", "WINDOW", "WIDTH", 640 },
        { "no final break", "[WINDOW]\r\nWIDTH=640", "WINDOW", "WIDTH", 640 },
        { "spaces around", "[ WINDOW ]\r\n  WIDTH =  640 \r\n", "WINDOW", "WIDTH", 640 },
        { "hex", "[WINDOW]\r\nWIDTH=$280\r\n", "WINDOW", "WIDTH", 640 },
        { "not a number", "[WINDOW]\r\nWIDTH=abc\r\n", "WINDOW", "WIDTH", 500 },
        { "empty value", "[WINDOW]\r\nWIDTH=\r\n", "WINDOW", "WIDTH", 500 },
        { "missing key", "[WINDOW]\r\nHEIGHT=1\r\n", "WINDOW", "WIDTH", 500 },
        { "other section", "[WINDOW2]\r\nWIDTH=640\r\n", "WINDOW", "WIDTH", 500 },
        { "key before any section", "WIDTH=640\r\n[WINDOW]\r\n", "WINDOW", "WIDTH", 500 },
        { "commented out", "[WINDOW]\r\n;WIDTH=640\r\n", "WINDOW", "WIDTH", 500 },
        { "first of two wins", "[WINDOW]\r\nWIDTH=1\r\nWIDTH=2\r\n", "WINDOW", "WIDTH", 1 },
        { "repeated section", "[WINDOW]\r\nA=1\r\n[X]\r\n[WINDOW]\r\nWIDTH=640\r\n", "WINDOW", "WIDTH", 640 },
        { "utf-8 bom", "\xEF\xBB\xBF[WINDOW]\r\nWIDTH=640\r\n", "WINDOW", "WIDTH", 640 },
        { "value keeps equals", "[S]\r\nK=1=2\r\n", "S", "K", 500 },
        { "garbage", "\x01\x02[\r\n=\r\n]]]\r\n\x83\x41=3", "WINDOW", "WIDTH", 500 },
        { "empty file", "", "WINDOW", "WIDTH", 500 },
    };
    for (const auto &c : cases)
        EXPECT_EQ(IniFile(c.file).ReadInteger(c.section, c.key, 500), c.want) << c.name;
}

TEST(IniFile, BooleansAreIntegers)
{
    const IniFile ini("[W]\r\nONE=1\r\nZERO=0\r\nTWO=2\r\nNEG=-1\r\nHEXZERO=0x0\r\nYES=yes\r\nTRUE=true\r\n");
    const struct {
        const char *key;
        bool defaultValue;
        bool want;
    } cases[] = {
        { "ONE", false, true },
        { "ZERO", true, false },
        { "TWO", false, true },
        { "NEG", false, true },
        { "HEXZERO", true, false },
        { "YES", true, true },
        { "YES", false, false },
        { "TRUE", false, false },
        { "MISSING", true, true },
        { "MISSING", false, false },
    };
    for (const auto &c : cases)
        EXPECT_EQ(ini.ReadBool("w", c.key, c.defaultValue), c.want) << c.key << " default " << c.defaultValue;
}

TEST(IniFile, ReadStringTrimsButKeepsBytes)
{
    const IniFile ini("[SYSTEM]\r\nPREFIX=  \x83\x41 b \r\nEMPTY=\r\n");
    EXPECT_EQ(ini.ReadString("SYSTEM", "PREFIX", "d"), "\x83\x41 b");
    EXPECT_EQ(ini.ReadString("SYSTEM", "EMPTY", "d"), "");
    EXPECT_EQ(ini.ReadString("SYSTEM", "NONE", "d"), "d");
}

struct WriteCase {
    const char *name;
    const char *before;
    const char *after;
};

TEST(IniFile, WritesInPlaceAndKeepsEverythingElse)
{
    // Each case writes WINDOW LIST = 250.
    const WriteCase cases[] = {
        { "empty file", "", "[WINDOW]\r\nLIST=250\r\n" },
        { "replaces in place, other lines kept byte for byte",
            "; note\r\n[WINDOW]\r\nWIDTH=640\r\nlist = 1\r\nHEIGHT=480\r\n[X]\r\nLIST=9\r\n",
            "; note\r\n[WINDOW]\r\nWIDTH=640\r\nLIST=250\r\nHEIGHT=480\r\n[X]\r\nLIST=9\r\n" },
        { "adds to the end of its section, before the blank line",
            "[WINDOW]\r\nWIDTH=640\r\n\r\n[WINDOW2]\r\nTOP=3\r\n",
            "[WINDOW]\r\nWIDTH=640\r\nLIST=250\r\n\r\n[WINDOW2]\r\nTOP=3\r\n" },
        { "adds to the first section of that name", "[window]\r\n[WINDOW]\r\nA=1\r\n",
            "[window]\r\nLIST=250\r\n[WINDOW]\r\nA=1\r\n" },
        { "new section after a blank line", "[OTHER]\nA=1\n", "[OTHER]\r\nA=1\r\n\r\n[WINDOW]\r\nLIST=250\r\n" },
        { "lone cr and lf become cr lf", "[WINDOW]\rA=1\nB=2", "[WINDOW]\r\nA=1\r\nB=2\r\nLIST=250\r\n" },
    };
    for (const auto &c : cases) {
        IniFile ini(c.before);
        ini.WriteInteger("WINDOW", "LIST", 250);
        EXPECT_EQ(ini.serialize(), c.after) << c.name;
        EXPECT_EQ(IniFile(ini.serialize()).ReadInteger("Window", "List", 0), 250) << c.name;
    }
}

TEST(IniFile, WrittenValuesReadBack)
{
    IniFile ini;
    ini.WriteInteger("WINDOW", "TOP", -20);
    ini.WriteBool("WINDOW", "MENU2", false);
    ini.WriteBool("WINDOW", "CTRL", true);
    ini.WriteString("SYSTEM", "PREFIX", "");
    ini.WriteString("SYSTEM", "SUFFIX", "line1\r\nINJECTED=1");
    const IniFile back(ini.serialize());
    EXPECT_EQ(back.ReadInteger("WINDOW", "TOP", 0), -20);
    EXPECT_FALSE(back.ReadBool("WINDOW", "MENU2", true));
    EXPECT_TRUE(back.ReadBool("WINDOW", "CTRL", false));
    EXPECT_EQ(back.ReadString("SYSTEM", "PREFIX", "x"), "");
    // A value cannot break out of its line.
    EXPECT_EQ(back.ReadString("SYSTEM", "SUFFIX", "x"), "line1");
    EXPECT_EQ(back.ReadString("SYSTEM", "INJECTED", "none"), "none");
}

} // namespace
