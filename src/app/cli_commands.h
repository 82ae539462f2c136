#pragma once
// The commands of the command line, each over the same core functions as its menu command.
#include "settings/app_paths.h"

#include <optional>
#include <string>
#include <vector>

namespace cli_commands
{

// Everything the command line said, after parsing.
struct Options {
    std::string command;
    std::vector<std::string> prefixes, middles, suffixes; // as typed
    std::vector<std::string> tables; // as typed (UTF-8)
    bool conditionsGiven = false; // any -p, -m or -s
    std::optional<bool> expand; // --expand / --no-expand
    std::optional<std::string> base; // correct --base
    std::optional<std::string> outFile; // linkpage -o
    bool backward = false, lines = false, crlf = false;
    bool web = false, toSjis = false; // get --web, --to-sjis
    std::optional<std::string> finalUrlFile; // get --final-url
    long idleTimeoutSeconds = 30; // get --idle-timeout (0: none)
    std::string operand; // convert NAME, get URL
    std::string file; // "" or "-": standard input
};

// Each returns the exit status (0 done, 1 failed).
int RunExtract(const Options &options, const app_paths::AppPaths &paths);
int RunLinks(const Options &options);
int RunListCommand(const Options &options); // expand, correct, sort, dedup
int RunConvert(const Options &options, const app_paths::AppPaths &paths);
int RunTextCommand(const Options &options); // encode, decode, the code conversions, the cleanups
int RunLinkPage(const Options &options);
int RunGet(const Options &options);

} // namespace cli_commands
