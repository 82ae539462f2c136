#include "settings/settings_file.h"

#include "encoding/message_quote.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace settings_file
{

std::string SetAsideFile(const std::string &path, file_io::IoError *error)
{
    for (int n = 1; n <= 100; ++n) {
        const std::string target = path + ".bad" + (n == 1 ? std::string() : std::to_string(n));
        if (file_io::PathExists(target)) continue;
        if (std::rename(path.c_str(), target.c_str()) == 0) return target;
        if (error) *error = { path, std::strerror(errno), errno };
        return {};
    }
    if (error) *error = { path, std::strerror(EEXIST), EEXIST };
    return {};
}

bool HasTooManyValues(std::string_view bytes, std::size_t maxValues)
{
    return maxValues != SIZE_MAX && static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\t')) > maxValues;
}

SettingsFileRead ReadSettingsFile(const std::string &path, std::size_t maxValues, std::size_t maxBytes)
{
    SettingsFileRead result;
    result.read = file_io::ReadWholeFile(path, maxBytes);
    std::string why;
    if (result.read.tooLarge) {
        why = "大きすぎる (上限 " + std::to_string(maxBytes >> 20) + " MB)";
    } else if (result.read.ok && HasTooManyValues(result.read.data, maxValues)) {
        why = "値が多すぎる (上限 " + std::to_string(maxValues) + ")";
        result.read.ok = false;
        result.read.tooLarge = true;
        result.read.data = std::string();
    } else {
        return result;
    }
    result.message = "設定ファイル " + message_quote::Quoted(path) + " は" + why
        + "ため読み込みませんでした。既定の設定で始めます。";
    file_io::IoError error;
    const std::string aside = SetAsideFile(path, &error);
    if (!aside.empty())
        result.message += "\nファイルは " + message_quote::Quoted(aside) + " に移しました。";
    else
        result.message += "\nファイルを移せません: " + error.reason;
    return result;
}

} // namespace settings_file
