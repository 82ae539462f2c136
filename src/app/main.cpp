// Program entry: global options, then either a command or the workbench window.
#include "app/cli.h"
#include "settings/app_paths.h"
#include "settings/http_client.h"

#ifdef LANZO_WITH_GUI
#include "app/gui_startup_qt.h"
#endif

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{

bool LooksLikePath(const std::string &arg)
{
    struct stat st {
    };
    return arg.find('/') != std::string::npos || ::stat(arg.c_str(), &st) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    http::GlobalInit();

    std::string home;
    std::vector<std::string> rest;
    bool help = false, version = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (rest.empty() && arg == "--home") {
            if (i + 1 >= argc) {
                std::fputs("lanzo: --home needs a folder\n", stderr);
                return 2;
            }
            home = argv[++i];
        } else if (rest.empty() && arg.rfind("--home=", 0) == 0) {
            home = arg.substr(7);
        } else if (rest.empty() && (arg == "--help" || arg == "-h")) {
            help = true;
        } else if (rest.empty() && (arg == "--version" || arg == "-V")) {
            version = true;
        } else {
            rest.push_back(arg);
        }
    }
    if (help) {
        std::fputs(cli::HelpText().c_str(), stdout);
        return 0;
    }
    if (version) {
        std::printf("lanzo %s\n", LANZO_VERSION);
        return 0;
    }

    const settings::AppPaths paths = settings::ResolveAppPaths(home);
    settings::SeedDefaults(paths);

    if (!rest.empty() && rest[0].rfind("-", 0) != 0 && cli::IsCommand(rest[0])) return cli::Run(rest, paths);
    // Anything else that is not an option names files to open in the window (the desktop's
    // "open with" hands them over this way); a bare word that is no file is a mistyped command.
    std::vector<std::string> files;
    for (const std::string &arg : rest) {
        if (arg.rfind("-", 0) == 0) continue;
        if (!LooksLikePath(arg)) {
            std::fprintf(stderr, "lanzo: unknown command '%s' (see lanzo --help)\n", arg.c_str());
            return 2;
        }
        files.push_back(arg);
    }
#ifdef LANZO_WITH_GUI
    return RunGui(argc, argv, paths, files);
#else
    std::fputs("lanzo: built without windows; see lanzo --help for the commands\n", stderr);
    return 2;
#endif
}
