// The window program, started by `lanzo` with the folder it resolved and the files to open.
// Started by hand it reads its arguments the same way.
#include "app/cli_start.h"
#include "app/gui_startup_qt.h"
#include "encoding/message_quote.h"
#include "settings/app_paths.h"
#include "settings/http_client.h"

#include <cstdio>

int main(int argc, char **argv)
{
    const cli::StartOptions start = cli::ParseStartOptions(argc, argv);
    if (!start.error.empty()) {
        std::fprintf(stderr, "lanzo: %s\n", start.error.c_str());
        return 2;
    }
    const cli::WindowFiles files = cli::WindowFilesOf(start.rest);
    if (!files.badWord.empty()) {
        std::fprintf(stderr, "lanzo: '%s' is no file\n", message_quote::Quoted(files.badWord).c_str());
        return 2;
    }
    http::GlobalInit();
    const settings::AppPaths paths = settings::ResolveAppPaths(start.home);
    settings::SeedDefaults(paths);
    return RunGui(argc, argv, paths, files.files);
}
