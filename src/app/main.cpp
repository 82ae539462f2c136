// The command line: global options, then a command, or the window. The window lives in a
// program of its own, so a command never loads the window libraries (they would cost each
// command about 12 ms of start-up).
#include "app/cli.h"
#include "app/cli_start.h"
#include "base/file_io.h"
#include "encoding/message_quote.h"
#include "settings/app_paths.h"
#include "settings/http_client.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

#ifdef LANZO_WINDOW_FROM_BINDIR
// Replaces this process with the window program; returns only when none could be started.
int StartWindow(const char *argv0, const std::string &home, const std::vector<std::string> &rest)
{
    const std::vector<std::string> args = cli_start::WindowArguments(argv0, home, rest);
    std::vector<char *> argv;
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);

    std::string tried;
    int reason = ENOENT;
    for (const std::string &program :
        cli_start::WindowProgramCandidates(file_io::ExecutableDir(), LANZO_WINDOW_FROM_BINDIR)) {
        std::fflush(nullptr);
        ::execv(program.c_str(), argv.data());
        if (errno != ENOENT || tried.empty()) reason = errno;
        tried += (tried.empty() ? "" : ", ") + program;
    }
    std::fprintf(stderr, "lanzo: cannot start the window program (%s): %s\n", tried.c_str(), std::strerror(reason));
    return 2;
}
#endif

} // namespace

int main(int argc, char **argv)
{
    const cli_start::StartOptions start = cli_start::ParseStartOptions(argc, argv);
    if (!start.error.empty()) {
        std::fprintf(stderr, "lanzo: %s\n", start.error.c_str());
        return 2;
    }
    if (start.help) {
        std::fputs(cli::HelpText().c_str(), stdout);
        return 0;
    }
    if (start.version) {
        std::printf("lanzo %s\n", LANZO_VERSION);
        return 0;
    }

    const app_paths::AppPaths paths = app_paths::ResolveAppPaths(start.home);
    app_paths::SeedDefaults(paths);

    const std::vector<std::string> &rest = start.rest;
    if (!rest.empty() && rest[0].rfind("-", 0) != 0 && cli::IsCommand(rest[0])) {
        http_client::GlobalInit();
        return cli::Run(rest, paths);
    }
    // Anything else that is not an option names files to open in the window (the desktop's
    // "open with" hands them over this way); a bare word that is no file is a mistyped command.
    const cli_start::WindowFiles files = cli_start::WindowFilesOf(rest);
    if (!files.badWord.empty()) {
        std::fprintf(
            stderr, "lanzo: unknown command '%s' (see lanzo --help)\n", message_quote::Quoted(files.badWord).c_str());
        return 2;
    }
#ifdef LANZO_WINDOW_FROM_BINDIR
    return StartWindow(argv[0], paths.home, rest);
#else
    std::fputs("lanzo: built without windows; see lanzo --help for the commands\n", stderr);
    return 2;
#endif
}
