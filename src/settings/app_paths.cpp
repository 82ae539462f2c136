#include "settings/app_paths.h"

#include "base/file_io.h"
#include "settings/shipped_defaults.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace app_paths
{
namespace
{

std::string EnvValue(const char *name)
{
    const char *value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string CurrentDir()
{
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) return std::string(buffer.c_str());
        if (errno != ERANGE || buffer.size() > (1u << 20)) return ".";
        buffer.resize(buffer.size() * 2);
    }
}

// A relative folder is taken from the current directory once, so that the paths stay right
// whatever the program's working directory later becomes.
std::string Absolute(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (!path.empty() && path.front() == '/') return path;
    if (path == ".") return CurrentDir();
    if (path.rfind("./", 0) == 0) path.erase(0, 2);
    return file_io::JoinPath(CurrentDir(), path);
}

std::string UserHome()
{
    std::string home = EnvValue("HOME");
    if (!home.empty()) return home;
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return CurrentDir();
}

} // namespace

AppPaths PathsForHome(const std::string &home)
{
    AppPaths p;
    p.home = home;
    p.configDir = file_io::JoinPath(home, "config");
    p.tableDir = file_io::JoinPath(home, "table");
    p.windowFile = file_io::JoinPath(p.configDir, "lanzo.ini");
    p.workFile = file_io::JoinPath(p.configDir, "edit.txt");
    p.listFile = file_io::JoinPath(p.configDir, "list.txt");
    p.setIni = file_io::JoinPath(p.configDir, "set.ini");
    p.set2Ini = file_io::JoinPath(p.configDir, "set2.ini");
    return p;
}

AppPaths ResolveAppPaths(const std::string &homeOption)
{
    if (!homeOption.empty()) return PathsForHome(Absolute(homeOption));
    if (const std::string env = EnvValue("LANZO_HOME"); !env.empty()) return PathsForHome(Absolute(env));
    const std::string exeDir = file_io::ExecutableDir();
    if (file_io::DirectoryExists(file_io::JoinPath(exeDir, "config"))) return PathsForHome(exeDir);
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory rules say.
    std::string base = EnvValue("XDG_CONFIG_HOME");
    if (base.empty() || base.front() != '/') base = file_io::JoinPath(UserHome(), ".config");
    return PathsForHome(file_io::JoinPath(base, "lanzo"));
}

namespace
{

// The shipped set2.ini waits in the new table folder under this name until the folder is in
// place; moving it into config/ is the last step of a first start.
constexpr const char *kPendingSet2Ini = ".set2.ini";

// Builds the shipped tables (and the pending set2.ini) in a temporary folder and renames it to
// table/, so that table/ appears whole or not at all. False when table/ could not be made.
bool PlaceShippedTables(const AppPaths &paths)
{
    const error::Result<std::string> made = file_io::MakeTemporaryDirectory(paths.tableDir);
    if (!made) return false;
    const std::string &tmp = *made;
    bool ok = true;
    for (const shipped_defaults::ShippedFile &table : shipped_defaults::ShippedTables())
        ok = ok && file_io::WriteFileAtomic(file_io::JoinPath(tmp, table.name), table.bytes);
    ok = ok && file_io::WriteFileAtomic(file_io::JoinPath(tmp, kPendingSet2Ini), shipped_defaults::ShippedSet2Ini());
    const error::Result<void> placed
        = ok ? file_io::RenameNoReplace(tmp, paths.tableDir) : error::Unexpected(error::Error::Of(error::Kind::System));
    if (placed) return true;
    file_io::RemoveDirectoryOfFiles(tmp);
    // Another copy starting at the same moment may have put its folder there first: that one stays.
    return placed.error().code == EEXIST;
}

} // namespace

bool SeedDefaults(const AppPaths &paths)
{
    if (!file_io::MakeDirectories(paths.configDir)) return false;
    // What a start killed midway left: a half-filled folder, half-written files.
    file_io::RemoveStaleTemporaries(paths.home);
    file_io::RemoveStaleTemporaries(paths.tableDir);

    bool ok = true;
    if (!file_io::PathExists(paths.set2Ini) && !file_io::PathExists(paths.tableDir)) ok = PlaceShippedTables(paths);
    // Also finishes a first start that was killed right before this step.
    const std::string pending = file_io::JoinPath(paths.tableDir, kPendingSet2Ini);
    if (file_io::FileExists(pending)) {
        // A set2.ini that appeared meanwhile is kept.
        if (const error::Result<void> moved = file_io::RenameNoReplace(pending, paths.set2Ini);
            !moved && moved.error().code == EEXIST)
            file_io::RemoveFile(pending);
    }
    return ok;
}

} // namespace app_paths
