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
    const cli_start::StartOptions start = cli_start::ParseStartOptions(argc, argv);
    if (!start.error.empty()) {
        std::fprintf(stderr, "lanzo: %s\n", start.error.c_str());
        return 2;
    }
    const cli_start::WindowFiles files = cli_start::WindowFilesOf(start.rest);
    if (!files.badWord.empty()) {
        std::fprintf(stderr, "lanzo: '%s' is no file\n", message_quote::Quoted(files.badWord).c_str());
        return 2;
    }
    http_client::GlobalInit();
    const app_paths::AppPaths paths = app_paths::ResolveAppPaths(start.home);
    app_paths::SeedDefaults(paths);
    return RunGui(argc, argv, paths, files.files);
}
