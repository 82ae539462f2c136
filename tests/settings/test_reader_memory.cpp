// Readers of settings and table files, each in a child process whose address space is limited
// to what it already uses plus twice its input: a reader that keeps something per line, or
// reads a file it should refuse, runs out of memory there.
#include "settings/func_save.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "support/settings_temp_dir.h"
#include "tables/cnv_table.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

namespace
{

struct ReaderCase {
    const char *name;
    std::string piece; // the input: this repeated to 16 MB, then the tail
    std::string tail;
    std::function<bool(const std::string &)> read; // true when the reader gave what it should
};

class ReaderMemory : public ::testing::TestWithParam<ReaderCase>
{
};

TEST_P(ReaderMemory, StaysWithinTwiceItsInput)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory takes the address space";
#endif
    std::string input;
    while (!GetParam().piece.empty() && input.size() < (std::size_t(16) << 20))
        input += GetParam().piece;
    input += GetParam().tail;
    const auto readWithin = [&](std::size_t extra) {
        std::size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlimit limit { pages * ::sysconf(_SC_PAGESIZE) + extra, RLIM_INFINITY };
        ::setrlimit(RLIMIT_AS, &limit);
        try {
            std::_Exit(GetParam().read(input) ? 0 : 2);
        } catch (const std::bad_alloc &) {
            std::_Exit(3);
        }
    };
    EXPECT_EXIT(readWithin(2 * input.size() + (std::size_t(24) << 20)), ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(HugeFiles, ReaderMemory,
    ::testing::Values(ReaderCase { "IniOfBlankLines", "\r\n", "[WINDOW]\r\nWIDTH=7\r\n",
                          [](const std::string &in) {
                              ini_file::IniFile ini(in);
                              ini.WriteInteger("WINDOW", "HEIGHT", 8);
                              return ini.ReadInteger("window", "width", 0) == 7
                                  && ini.serialize().size() == in.size() + 10;
                          } },
        ReaderCase { "SetIniOfBlankLines", "\n", "EXE\tb\r\n",
            [](const std::string &in) {
                func_save::CtrlPanelState state;
                func_save::ApplySetIni(state, in);
                return state.exe == "b";
            } },
        ReaderCase { "ComboHistoryOfManyItems", "\tab", "",
            [](const std::string &in) {
                func_save::CtrlPanelState state;
                func_save::ApplySetIni(state, "URL\tnow" + in);
                return state.url.text == "now" && state.url.items.size() == 5;
            } },
        ReaderCase { "Set2IniOfUnknownRecords", "Other\tx\ty\r\n", "Auto\t1\r\n",
            [](const std::string &in) {
                func_save::SetDialogState state;
                func_save::ApplySet2Ini(state, in);
                return state.autoExpand;
            } },
        ReaderCase { "TableOfLinesThatAreNoPairs", "a long line without a tab\r\nx\ty\tz\r\n", "",
            [](const std::string &in) {
                func_token::StringList before, after;
                cnv_table::ParseCnvTable(in, before, after);
                return before.empty();
            } },
        // However large, a settings file beyond the limit is moved aside unread.
        ReaderCase { "OversizedFileSetAsideUnread", "", "",
            [](const std::string &) {
                testsettings::TempDir dir;
                const std::string path = dir / "set2.ini";
                const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
                if (fd < 0 || ::ftruncate(fd, off_t(4) << 30) != 0) return false; // 4 GiB, sparse
                ::close(fd);
                const auto read = settings_file::ReadSettingsFile(path);
                return !read && read.error().kind == error::Kind::SettingsTooLarge
                    && read.error().movedTo == path + ".bad" && ::access((path + ".bad").c_str(), F_OK) == 0;
            } }),
    [](const ::testing::TestParamInfo<ReaderCase> &info) { return info.param.name; });

} // namespace
