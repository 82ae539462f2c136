#include "support/temp_home.h"

#include "base/file_io.h"

#include <QtGlobal>

TempHome::TempHome()
{
    renew();
}

void TempHome::renew()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_paths = app_paths::PathsForHome(m_dir->path().toStdString());
}

std::string TempHome::path(std::string_view relative) const
{
    return file_io::JoinPath(m_paths.home, std::string(relative));
}

void writeBytes(const std::string &path, std::string_view bytes)
{
    if (!file_io::WriteFileAtomic(path, std::string(bytes))) qWarning("cannot write %s", path.c_str());
}

std::string readBytes(const std::string &path)
{
    return file_io::ReadWholeFile(path).value_or("<missing>");
}

bool fileExists(const std::string &path)
{
    return file_io::FileExists(path);
}
