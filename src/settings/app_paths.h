#pragma once
// Where Lanzo keeps its files: a home folder holding config/ and table/.
// --home DIR, else $LANZO_HOME, else beside the executable when a "config" folder stands
// there (portable use), else $XDG_CONFIG_HOME/lanzo (default ~/.config/lanzo).
#include <string>

namespace app_paths
{

struct AppPaths {
    std::string home; // UTF-8
    std::string configDir; // home/config
    std::string tableDir; // home/table
    std::string windowFile; // configDir/lanzo.ini
    std::string workFile; // configDir/edit.txt
    std::string listFile; // configDir/list.txt
    std::string setIni; // configDir/set.ini
    std::string set2Ini; // configDir/set2.ini
};

// homeOption: the value of --home ("" when absent).
AppPaths ResolveAppPaths(const std::string &homeOption);
AppPaths PathsForHome(const std::string &home);

// On a first start (no config/set2.ini and no table/ folder) puts the shipped defaults in
// place: a set2.ini with useful conditions and a few tables. Never overwrites a file. All or
// nothing: the tables appear as a whole folder, and set2.ini last, so a start killed midway
// leaves either nothing (the next start seeds again) or a step the next start finishes.
// Creates config/ when missing and removes temporaries left by killed runs in the home and in
// table/. Returns false when config/ or the defaults could not be put in place.
bool SeedDefaults(const AppPaths &paths);

} // namespace app_paths
