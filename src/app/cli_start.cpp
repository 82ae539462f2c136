#include "app/cli_start.h"

#include <sys/stat.h>

namespace cli_start
{

StartOptions ParseStartOptions(int argc, const char *const *argv)
{
    StartOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!options.rest.empty()) {
            options.rest.push_back(arg);
        } else if (arg == "--home") {
            if (i + 1 >= argc) {
                options.error = "--home needs a folder";
                return options;
            }
            options.home = argv[++i];
        } else if (arg.rfind("--home=", 0) == 0) {
            options.home = arg.substr(7);
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version" || arg == "-V") {
            options.version = true;
        } else {
            options.rest.push_back(arg);
        }
    }
    return options;
}

namespace
{

bool LooksLikePath(const std::string &arg)
{
    struct stat st {
    };
    return arg.find('/') != std::string::npos || ::stat(arg.c_str(), &st) == 0;
}

} // namespace

WindowFiles WindowFilesOf(const std::vector<std::string> &rest)
{
    WindowFiles result;
    for (const std::string &arg : rest) {
        if (arg.rfind("-", 0) == 0) continue; // toolkit options such as -style
        if (!LooksLikePath(arg)) {
            result.badWord = arg;
            result.files.clear();
            return result;
        }
        result.files.push_back(arg);
    }
    return result;
}

std::vector<std::string> WindowProgramCandidates(const std::string &exeDir, const std::string &installedRelative)
{
    const std::string dir = exeDir.empty() ? "." : exeDir;
    std::vector<std::string> candidates { dir + "/lanzo-window" };
    if (!installedRelative.empty()) candidates.push_back(dir + "/" + installedRelative + "/lanzo-window");
    return candidates;
}

std::vector<std::string> WindowArguments(
    const std::string &argv0, const std::string &home, const std::vector<std::string> &rest)
{
    std::vector<std::string> args { argv0, "--home", home };
    args.insert(args.end(), rest.begin(), rest.end());
    return args;
}

} // namespace cli_start
