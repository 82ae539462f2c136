#pragma once
// The command-line face: the same core as the menu commands, without a window.
#include "settings/app_paths.h"

#include <cstdio>
#include <string>
#include <vector>

namespace cli
{

// True when args[0] names a command (extract, links, expand, ...).
bool IsCommand(const std::string &name);
// Runs one command. args: the command and its options/operands (global options removed).
// Returns the exit status: 0 done, 1 failed, 2 usage error.
int Run(const std::vector<std::string> &args, const app_paths::AppPaths &paths);
// The text of --help.
std::string HelpText();

} // namespace cli
