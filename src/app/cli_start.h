#pragma once
// What the program does with its arguments before any command or window starts. Shared by
// `lanzo` (the command line, which hands the window over to its own program) and the window
// program, so both read the arguments alike.
#include <string>
#include <vector>

namespace cli_start
{

struct StartOptions {
    std::string home; // --home FOLDER
    bool help = false;
    bool version = false;
    std::vector<std::string> rest; // everything after the global options, in order
    std::string error; // set when the arguments cannot be used
};

// Global options count only before the first other argument.
StartOptions ParseStartOptions(int argc, const char *const *argv);

// The files a window is asked to open: every argument that is no option. A bare word that is
// neither a command nor an existing file is a mistyped command: badWord names it.
struct WindowFiles {
    std::vector<std::string> files;
    std::string badWord;
};
WindowFiles WindowFilesOf(const std::vector<std::string> &rest);

// Where the window program may be, in the order to try: beside the command line (a build or a
// portable copy), then in the installed tree, relative to the command line's folder.
std::vector<std::string> WindowProgramCandidates(const std::string &exeDir, const std::string &installedRelative);

// The window program's arguments: its name, the folder the command line resolved (so both
// keep their files in the same place whatever the window program's own location), then the
// remaining arguments.
std::vector<std::string> WindowArguments(
    const std::string &argv0, const std::string &home, const std::vector<std::string> &rest);

} // namespace cli_start
