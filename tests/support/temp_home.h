#pragma once
// A temporary --home folder for window tests, and whole-file helpers over it.
#include "settings/app_paths.h"

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <string_view>

class TempHome
{
public:
    TempHome();
    bool isValid() const { return m_dir->isValid(); }
    // A fresh, empty folder takes the place of this one, which is removed.
    void renew();
    const app_paths::AppPaths &paths() const { return m_paths; }
    // A path inside the home folder (UTF-8).
    std::string path(std::string_view relative) const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    app_paths::AppPaths m_paths;
};

// Whole-file helpers; readBytes gives "<missing>" for a file that cannot be read.
void writeBytes(const std::string &path, std::string_view bytes);
std::string readBytes(const std::string &path);
bool fileExists(const std::string &path);
