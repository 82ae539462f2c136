#include "settings/app_paths.h"

#include "base/file_io.h"
#include "settings/func_save.h"
#include "settings/shipped_defaults.h"
#include "support/settings_temp_dir.h"
#include "text/func_token.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iconv.h>
#include <optional>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

using testsettings::TempDir;

// Sets or clears an environment variable for the life of the object.
class EnvVar
{
public:
    EnvVar(const char *name, std::optional<std::string> value)
        : m_name(name)
    {
        if (const char *old = std::getenv(name)) m_old = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~EnvVar()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char *m_name;
    std::optional<std::string> m_old;
};

class CurrentDir
{
public:
    explicit CurrentDir(const std::string &dir)
        : m_old(::get_current_dir_name())
    {
        EXPECT_EQ(::chdir(dir.c_str()), 0);
    }
    ~CurrentDir()
    {
        EXPECT_EQ(::chdir(m_old), 0);
        std::free(m_old);
    }

private:
    char *m_old;
};

// All resolution rules in one test: they share the process environment and the folder
// beside the test program.
TEST(AppPaths, ResolutionOrder)
{
    TempDir cwd;
    CurrentDir inCwd(cwd.path());
    const std::string exeDir = file_io::ExecutableDir();
    const std::string portableMark = file_io::JoinPath(exeDir, "config");
    const bool portableAlready = file_io::DirectoryExists(portableMark);

    using Opt = std::optional<std::string>;
    const struct {
        const char *name;
        std::string option;
        Opt lanzoHome, xdg, home;
        std::string want;
        bool needsNoPortableMark;
    } cases[] = {
        { "option wins", "/opt/h", "/env/h", "/xdg", "/home/u", "/opt/h", false },
        { "relative option made absolute", "rel/h", "/env/h", {}, "/home/u", cwd / "rel/h", false },
        { "dot option", "./h/", {}, {}, "/home/u", cwd / "h", false },
        { "environment next", "", "/env/h", "/xdg", "/home/u", "/env/h", false },
        { "relative environment", "", "envrel", {}, "/home/u", cwd / "envrel", false },
        { "xdg config home", "", "", "/xdg", "/home/u", "/xdg/lanzo", true },
        { "relative xdg ignored", "", {}, "rel", "/home/u", "/home/u/.config/lanzo", true },
        { "home config", "", {}, {}, "/home/u", "/home/u/.config/lanzo", true },
    };
    for (const auto &c : cases) {
        if (c.needsNoPortableMark && portableAlready) continue;
        EnvVar a("LANZO_HOME", c.lanzoHome), b("XDG_CONFIG_HOME", c.xdg), h("HOME", c.home);
        EXPECT_EQ(app_paths::ResolveAppPaths(c.option).home, c.want) << c.name;
    }

    // Portable use: a config folder beside the program beats the user's config folder.
    if (!portableAlready && !file_io::MakeDirectory(portableMark)) GTEST_SKIP() << "cannot create " << portableMark;
    {
        EnvVar a("LANZO_HOME", std::nullopt), b("XDG_CONFIG_HOME", "/xdg");
        EXPECT_EQ(app_paths::ResolveAppPaths("").home, exeDir);
        EXPECT_EQ(app_paths::ResolveAppPaths("/opt/h").home, "/opt/h");
    }
    if (!portableAlready) ::rmdir(portableMark.c_str());
}

std::string ReadOrEmpty(const std::string &path)
{
    return file_io::ReadWholeFile(path).value_or("");
}

TEST(SeedDefaults, FirstStartPutsTheShippedFilesInPlace)
{
    TempDir dir;
    const auto paths = app_paths::PathsForHome(dir / "new/home");
    ASSERT_TRUE(app_paths::SeedDefaults(paths));
    EXPECT_EQ(ReadOrEmpty(paths.set2Ini), shipped_defaults::ShippedSet2Ini());
    const auto tables = shipped_defaults::ShippedTables();
    ASSERT_GE(tables.size(), 3u);
    for (const auto &table : tables)
        EXPECT_EQ(ReadOrEmpty(file_io::JoinPath(paths.tableDir, table.name)), table.bytes) << table.name;

    // Later starts change nothing, even when the user removed or changed files.
    ASSERT_TRUE(file_io::WriteFileAtomic(paths.set2Ini, "mine"));
    ASSERT_TRUE(file_io::RemoveFile(file_io::JoinPath(paths.tableDir, tables[0].name)));
    EXPECT_TRUE(app_paths::SeedDefaults(paths));
    EXPECT_EQ(ReadOrEmpty(paths.set2Ini), "mine");
    EXPECT_FALSE(file_io::PathExists(file_io::JoinPath(paths.tableDir, tables[0].name)));
}

// What a first start killed midway can leave; the next start finishes it, and leaves nothing else.
TEST(SeedDefaults, KilledFirstStartIsFinished)
{
    const pid_t dead = ::fork(); // the id of a process that has surely ended
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const std::string halfFilled = ".table.tmp" + std::to_string(dead) + "-0";
    const struct {
        std::string left; // a folder in the home holding a file .set2.ini
        std::string ownSet2Ini;
    } rows[] = { { halfFilled, "" }, { "table", "" }, { "table", "mine" } };
    for (const auto &row : rows) {
        TempDir dir;
        const auto paths = app_paths::PathsForHome(dir.path());
        ASSERT_TRUE(file_io::MakeDirectory(paths.configDir) && file_io::MakeDirectory(dir / row.left));
        ASSERT_TRUE(file_io::WriteFileAtomic(dir / row.left + "/.set2.ini", shipped_defaults::ShippedSet2Ini()));
        if (!row.ownSet2Ini.empty()) {
            ASSERT_TRUE(file_io::WriteFileAtomic(paths.set2Ini, row.ownSet2Ini));
        }
        EXPECT_TRUE(app_paths::SeedDefaults(paths));
        EXPECT_EQ(
            ReadOrEmpty(paths.set2Ini), row.ownSet2Ini.empty() ? shipped_defaults::ShippedSet2Ini() : row.ownSet2Ini);
        EXPECT_FALSE(file_io::PathExists(dir / halfFilled) || file_io::PathExists(paths.tableDir + "/.set2.ini"));
        if (row.left != "table") {
            EXPECT_TRUE(file_io::FileExists(paths.tableDir + "/ttp補正.tbl"));
        }
    }
}

TEST(SeedDefaults, NotAFirstStart)
{
    {
        // A table folder of one's own: only config/ is created.
        TempDir dir;
        const auto paths = app_paths::PathsForHome(dir.path());
        ASSERT_TRUE(file_io::MakeDirectory(paths.tableDir));
        EXPECT_TRUE(app_paths::SeedDefaults(paths));
        EXPECT_TRUE(file_io::DirectoryExists(paths.configDir));
        EXPECT_FALSE(file_io::PathExists(paths.set2Ini));
        EXPECT_TRUE(std::filesystem::is_empty(paths.tableDir)) << "no tables added to a folder of one's own";
    }
    {
        // A set2.ini of one's own: no tables are added.
        TempDir dir;
        const auto paths = app_paths::PathsForHome(dir.path());
        ASSERT_TRUE(file_io::MakeDirectory(paths.configDir));
        ASSERT_TRUE(file_io::WriteFileAtomic(paths.set2Ini, "Auto\t1\r\n"));
        EXPECT_TRUE(app_paths::SeedDefaults(paths));
        EXPECT_FALSE(file_io::PathExists(paths.tableDir));
        EXPECT_EQ(ReadOrEmpty(paths.set2Ini), "Auto\t1\r\n");
    }
    {
        // A home that cannot exist.
        TempDir dir;
        ASSERT_TRUE(file_io::WriteFileAtomic(dir / "file", ""));
        EXPECT_FALSE(app_paths::SeedDefaults(app_paths::PathsForHome(dir / "file/home")));
    }
}

std::string Cp932ToUtf8(const std::string &in)
{
    iconv_t cd = ::iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out(in.size() * 3 + 4, '\0');
    char *src = const_cast<char *>(in.data());
    char *dst = out.data();
    std::size_t srcLeft = in.size(), dstLeft = out.size();
    const std::size_t rc = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    ::iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) return {};
    out.resize(out.size() - dstLeft);
    return out;
}

TEST(ShippedDefaults, SettingsLoadBackAndNameShippedTables)
{
    const auto shipped = shipped_defaults::ShippedSetDialogState();
    func_save::SetDialogState loaded;
    func_save::ApplySet2Ini(loaded, shipped_defaults::ShippedSet2Ini());
    EXPECT_EQ(loaded.prefix.items, shipped.prefix.items);
    EXPECT_EQ(loaded.prefix.checked, shipped.prefix.checked);
    EXPECT_EQ(loaded.middle.items, shipped.middle.items);
    EXPECT_EQ(loaded.suffix.items, shipped.suffix.items);
    EXPECT_EQ(loaded.suffix.checked, shipped.suffix.checked);
    EXPECT_EQ(loaded.convert, shipped.convert);
    const auto checkedPrefixes = func_save::CheckedItems(loaded.prefix);
    EXPECT_NE(std::find(checkedPrefixes.begin(), checkedPrefixes.end(), "http://"), checkedPrefixes.end());

    std::set<std::string> tableFiles;
    for (const auto &table : shipped_defaults::ShippedTables())
        tableFiles.insert(table.name);
    for (const auto &name : loaded.convert)
        EXPECT_TRUE(tableFiles.count(Cp932ToUtf8(name) + ".tbl")) << "auto-run entry without its table: " << name;
}

TEST(ShippedDefaults, TablesAreWellFormedPairs)
{
    for (const auto &table : shipped_defaults::ShippedTables()) {
        ASSERT_GE(table.bytes.size(), 2u);
        EXPECT_EQ(table.bytes.substr(table.bytes.size() - 2), "\r\n") << table.name;
        std::set<std::string> befores;
        for (const auto &line : func_save::RecordLines(table.bytes)) {
            func_token::StringList fields;
            func_token::SplitTabFields(fields, line);
            ASSERT_EQ(fields.size(), 2u) << table.name << ": " << line;
            EXPECT_FALSE(fields[0].empty()) << table.name;
            EXPECT_TRUE(befores.insert(fields[0]).second) << table.name << ": repeated " << fields[0];
        }
    }
}

std::string ApplyTable(const std::string &fileName, std::string text)
{
    for (const auto &table : shipped_defaults::ShippedTables()) {
        if (table.name != fileName) continue;
        for (const auto &line : func_save::RecordLines(table.bytes)) {
            func_token::StringList fields;
            func_token::SplitTabFields(fields, line);
            text = func_token::ReplaceAll(text, fields[0], fields[1]);
        }
        return text;
    }
    ADD_FAILURE() << "no shipped table " << fileName;
    return text;
}

TEST(ShippedDefaults, TablesDoWhatTheirNamesSay)
{
    const struct {
        const char *table;
        std::string in, want;
    } cases[] = {
        { "ttp補正.tbl", "ttp://a/ http://b/ ttps://c/ https://d/", "http://a/ http://b/ https://c/ https://d/" },
        { "ttp補正.tbl", "\x89\xe6\x91\x9cttp://x/\r\nttp://y/", "\x89\xe6\x91\x9chttp://x/\r\nhttp://y/" },
        { "ttp補正.tbl", "hxxp://x/ hxxps://y/ hhttp://z/", "http://x/ https://y/ hhttp://z/" },
        { "全角→半角URL.tbl",
            "\x82\x88\x82\x94\x82\x94\x82\x90\x81\x46\x81\x5e\x81\x5e\x82\x81\x81\x44\x82\x8a\x82\x90\x81\x5e"
            "\x81\x60\x82\x60\x81\x51\x82\x4f\x81\x48\x82\x98\x81\x81\x82\x50\x81\x95\x82\x99",
            "http://a.jp/~A_0?x=1&y" },
        { "全角→半角URL.tbl", "\x82\xa0\x81\x40\x88\xa2", "\x82\xa0\x81\x40\x88\xa2" }, // あ, full-width space, 亜
        { "amp実体参照の解除.tbl", "a.cgi?x=1&amp;y=2 &amp;lt;", "a.cgi?x=1&y=2 &lt;" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(ApplyTable(c.table, c.in), c.want) << c.table << ": " << c.in;
}

} // namespace
