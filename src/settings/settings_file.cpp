#include "settings/settings_file.h"

#include "base/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace settings_file
{

error::Result<std::string> SetAsideFile(const std::string &path)
{
    for (int n = 1; n <= 100; ++n) {
        const std::string target = path + ".bad" + (n == 1 ? std::string() : std::to_string(n));
        if (file_io::PathExists(target)) continue;
        if (std::rename(path.c_str(), target.c_str()) == 0) return target;
        return error::Unexpected(error::Error::File(error::Kind::System, path, errno));
    }
    return error::Unexpected(error::Error::File(error::Kind::System, path, EEXIST));
}

bool HasTooManyValues(std::string_view bytes, std::size_t maxValues)
{
    return maxValues != SIZE_MAX && static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\t')) > maxValues;
}

bool WasSetAside(const error::Error &error)
{
    return error.kind == error::Kind::SettingsTooLarge || error.kind == error::Kind::SettingsTooManyValues;
}

error::Result<std::string> ReadSettingsFile(const std::string &path, std::size_t maxValues, std::size_t maxBytes)
{
    error::Result<std::string> read = file_io::ReadWholeFile(path, maxBytes);
    error::Error aside;
    if (!read && read.error().kind == error::Kind::TooLarge) {
        aside.kind = error::Kind::SettingsTooLarge;
        aside.limit = maxBytes;
    } else if (read && HasTooManyValues(*read, maxValues)) {
        aside.kind = error::Kind::SettingsTooManyValues;
        aside.limit = maxValues;
        read = std::string(); // the bytes go before the file is moved
    } else {
        return read;
    }
    aside.path = path;
    if (error::Result<std::string> moved = SetAsideFile(path))
        aside.movedTo = std::move(*moved);
    else
        aside.code = moved.error().code;
    return error::Unexpected(std::move(aside));
}

} // namespace settings_file
