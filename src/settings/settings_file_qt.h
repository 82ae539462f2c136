#pragma once
// A settings file read for a window: one set aside as too large is reported to the user.
#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <string>

class QWidget;
class UserPrompts;

// maxValues: see settings_file::ReadSettingsFile.
error::Result<std::string> ReadSettingsFileTelling(
    UserPrompts *prompts, QWidget *parent, const std::string &path, std::size_t maxValues = SIZE_MAX);
