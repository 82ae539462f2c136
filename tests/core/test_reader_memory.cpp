// Readers of settings and table files, each in a child process whose address space is limited
// to what it already uses plus a small multiple of its input: a reader that keeps something per
// line, or reads a file it should refuse, runs out of memory there.
#include "settings/func_save.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "settings_temp_dir.h"
#include "tables/cnv_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

namespace
{

constexpr std::size_t kInput = std::size_t(16) << 20;

struct ReaderCase {
    const char *name;
    std::string input;
    std::function<bool(const std::string &)> read; // true when the reader gave what it should
};

void PrintTo(const ReaderCase &c, std::ostream *os)
{
    *os << c.name;
}

// Address space in use now, in bytes.
std::size_t addressSpace()
{
    unsigned long pages = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    return pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

[[noreturn]] void readWithin(const ReaderCase &c, std::size_t extra)
{
    const rlimit limit { addressSpace() + extra, RLIM_INFINITY };
    ::setrlimit(RLIMIT_AS, &limit);
    try {
        std::_Exit(c.read(c.input) ? 0 : 2);
    } catch (const std::bad_alloc &) {
        std::_Exit(3);
    }
}

std::string repeated(std::string_view piece, std::size_t bytes)
{
    std::string out;
    out.reserve(bytes + piece.size());
    while (out.size() < bytes)
        out += piece;
    return out;
}

class ReaderMemory : public ::testing::TestWithParam<ReaderCase>
{
};

TEST_P(ReaderMemory, StaysWithinTwiceItsInput)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory takes the address space";
#endif
    EXPECT_EXIT(readWithin(GetParam(), 2 * GetParam().input.size() + (std::size_t(24) << 20)),
        ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(HugeFiles, ReaderMemory,
    ::testing::Values(ReaderCase { "IniOfBlankLines", repeated("\r\n", kInput) + "[WINDOW]\r\nWIDTH=7\r\n",
                          [](const std::string &in) {
                              settings::IniFile ini(in);
                              ini.WriteInteger("WINDOW", "HEIGHT", 8);
                              return ini.ReadInteger("window", "width", 0) == 7
                                  && ini.serialize().size() == in.size() + 10;
                          } },
        ReaderCase { "SetIniOfBlankLines", repeated("\n", kInput) + "EXE\tb\r\n",
            [](const std::string &in) {
                func_save::CtrlPanelState state;
                func_save::ApplySetIni(state, in);
                return state.exe == "b";
            } },
        ReaderCase { "ComboHistoryOfManyItems", "URL\tnow" + repeated("\tab", kInput),
            [](const std::string &in) {
                func_save::CtrlPanelState state;
                func_save::ApplySetIni(state, in);
                return state.url.text == "now" && state.url.items.size() == 5;
            } },
        ReaderCase { "Set2IniOfUnknownRecords", repeated("Other\tx\ty\r\n", kInput) + "Auto\t1\r\n",
            [](const std::string &in) {
                func_save::SetDialogState state;
                func_save::ApplySet2Ini(state, in);
                return state.autoExpand;
            } },
        ReaderCase { "TableOfLinesThatAreNoPairs", repeated("a long line without a tab\r\nx\ty\tz\r\n", kInput),
            [](const std::string &in) {
                func_token::StringList before, after;
                tables::ParseCnvTable(in, before, after);
                return before.empty();
            } }),
    [](const ::testing::TestParamInfo<ReaderCase> &info) { return info.param.name; });

// A settings file beyond the limit is not read at all, however large: it is moved aside.
TEST(ReaderMemory, OversizedSettingsFileIsSetAsideUnread)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory takes the address space";
#endif
    testsettings::TempDir dir;
    const std::string path = dir / "set2.ini";
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(4) << 30), 0); // 4 GiB, sparse
    ::close(fd);
    const ReaderCase c { "", "", [&](const std::string &) {
                            const settings::SettingsFileRead read = settings::ReadSettingsFile(path);
                            return read.read.tooLarge && read.message.find("set2.ini.bad") != std::string::npos;
                        } };
    EXPECT_EXIT(readWithin(c, std::size_t(8) << 20), ::testing::ExitedWithCode(0), "");
    struct stat st = {};
    EXPECT_EQ(::stat((path + ".bad").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, off_t(4) << 30);
}

} // namespace
