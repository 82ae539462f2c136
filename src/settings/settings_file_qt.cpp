#include "settings/settings_file_qt.h"

#include "base/user_prompts_qt.h"
#include "encoding/error_text_ja.h"
#include "settings/settings_file.h"

error::Result<std::string> ReadSettingsFileTelling(
    UserPrompts *prompts, QWidget *parent, const std::string &path, std::size_t maxValues)
{
    error::Result<std::string> read = settings_file::ReadSettingsFile(path, maxValues);
    if (!read && settings_file::WasSetAside(read.error()))
        prompts->showError(parent, QString::fromStdString(error_text_ja::Text(read.error())));
    return read;
}
