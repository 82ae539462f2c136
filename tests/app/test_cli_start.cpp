#include "app/cli_start.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

cli_start::StartOptions Parse(std::vector<const char *> args)
{
    args.insert(args.begin(), "lanzo");
    return cli_start::ParseStartOptions(static_cast<int>(args.size()), args.data());
}

struct StartCase {
    const char *name;
    std::vector<const char *> args;
    std::string home;
    bool help, version;
    std::vector<std::string> rest;
    std::string error;
};

TEST(StartOptions, GlobalOptionsCountOnlyBeforeTheFirstOtherArgument)
{
    const std::vector<StartCase> cases = {
        { "nothing", {}, "", false, false, {}, "" },
        { "home and command", { "--home", "/h", "sort" }, "/h", false, false, { "sort" }, "" },
        { "home with equals", { "--home=/h", "x.html" }, "/h", false, false, { "x.html" }, "" },
        { "home after a command is the command's", { "sort", "--home", "/h" }, "", false, false,
            { "sort", "--home", "/h" }, "" },
        { "help after a file is no help", { "x.html", "--help" }, "", false, false, { "x.html", "--help" }, "" },
        { "help and version", { "-h", "-V" }, "", true, true, {}, "" },
        { "the last home counts", { "--home", "/a", "--home=/b" }, "/b", false, false, {}, "" },
        { "home without a folder", { "--home" }, "", false, false, {}, "--home needs a folder" },
        { "toolkit option stays", { "-style", "fusion" }, "", false, false, { "-style", "fusion" }, "" },
    };
    for (const StartCase &c : cases) {
        SCOPED_TRACE(c.name);
        const cli_start::StartOptions got = Parse(c.args);
        EXPECT_EQ(got.home, c.home);
        EXPECT_EQ(got.help, c.help);
        EXPECT_EQ(got.version, c.version);
        EXPECT_EQ(got.rest, c.rest);
        EXPECT_EQ(got.error, c.error);
    }
}

TEST(StartOptions, WindowFilesSkipOptionsAndRefuseAWordThatIsNoFile)
{
    const cli_start::WindowFiles files = cli_start::WindowFilesOf({ "-style", "/tmp/a.html", "./b.txt" });
    EXPECT_EQ(files.files, (std::vector<std::string> { "/tmp/a.html", "./b.txt" }));
    EXPECT_TRUE(files.badWord.empty());

    const cli_start::WindowFiles typo = cli_start::WindowFilesOf({ "/tmp/a.html", "sortt" });
    EXPECT_EQ(typo.badWord, "sortt");
    EXPECT_TRUE(typo.files.empty());
}

TEST(StartOptions, WindowProgramIsLookedForBesideTheCommandLineFirst)
{
    EXPECT_EQ(cli_start::WindowProgramCandidates("/usr/bin", "../libexec/lanzo"),
        (std::vector<std::string> { "/usr/bin/lanzo-window", "/usr/bin/../libexec/lanzo/lanzo-window" }));
    EXPECT_EQ(cli_start::WindowProgramCandidates("", ""), (std::vector<std::string> { "./lanzo-window" }));
}

TEST(StartOptions, WindowGetsTheResolvedHomeFirst)
{
    // A home folder named like an option still arrives as the folder.
    EXPECT_EQ(cli_start::WindowArguments("lanzo", "--odd home", { "a b.html", "-style" }),
        (std::vector<std::string> { "lanzo", "--home", "--odd home", "a b.html", "-style" }));
}

} // namespace
