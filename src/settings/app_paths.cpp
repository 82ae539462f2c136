#include "settings/app_paths.h"

#include "settings/file_io.h"
#include "settings/shipped_defaults.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace settings
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

bool SeedDefaults(const AppPaths &paths)
{
    const bool firstStart = !file_io::PathExists(paths.set2Ini) && !file_io::PathExists(paths.tableDir);
    if (!file_io::MakeDirectories(paths.configDir)) return false;
    if (!firstStart) return true;

    bool wroteAny = false;
    // A file that appeared meanwhile (another copy starting at the same moment) is kept.
    if (!file_io::PathExists(paths.set2Ini)) wroteAny |= file_io::WriteFileAtomic(paths.set2Ini, ShippedSet2Ini());
    if (file_io::MakeDirectories(paths.tableDir)) {
        for (const ShippedFile &table : ShippedTables()) {
            const std::string path = file_io::JoinPath(paths.tableDir, table.name);
            if (!file_io::PathExists(path)) wroteAny |= file_io::WriteFileAtomic(path, table.bytes);
        }
    }
    return wroteAny;
}

} // namespace settings
