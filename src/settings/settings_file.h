#pragma once
// Reading the settings files (lanzo.ini, set.ini, set2.ini). Real ones hold a few kilobytes
// and a few dozen values; a file far beyond that was not written by this program and could
// exhaust memory (every value of a list becomes an item of a control), so it is not read: the
// defaults apply, and the file is moved aside so that the settings written at exit never
// replace it unseen.
#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace settings_file
{

constexpr std::size_t kMaxSettingsFileSize = std::size_t(16) << 20;
// Values of a control-state file (set.ini, set2.ini): each follows a tab.
constexpr std::size_t kMaxSettingsValues = 200000;

// Whether bytes hold more values than a control-state file may (tabs counted).
bool HasTooManyValues(std::string_view bytes, std::size_t maxValues = kMaxSettingsValues);

// The file's bytes. A file beyond maxBytes or maxValues is moved aside instead: the error is
// then SettingsTooLarge or SettingsTooManyValues (see WasSetAside), else the reading's own.
error::Result<std::string> ReadSettingsFile(
    const std::string &path, std::size_t maxValues = SIZE_MAX, std::size_t maxBytes = kMaxSettingsFileSize);
bool WasSetAside(const error::Error &error);

// Renames path to path + ".bad" (".bad2", ".bad3", ... when that exists); returns the new path.
error::Result<std::string> SetAsideFile(const std::string &path);

} // namespace settings_file
