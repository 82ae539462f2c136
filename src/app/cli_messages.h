#pragma once
// The command line's words for the errors of the core (UTF-8, after "lanzo: "): English, except
// where a message reads as the window's does (a bad escape, a base URL without a host, an
// expansion past its bound, a settings file moved aside), which keeps the window's words. A
// download's failure reads the same on both faces, in the transfer library's English.
#include "base/error.h"

#include <string>
#include <string_view>

namespace cli_messages
{

std::string Text(const error::Error &error);
// A conversion table that could not be loaded; name is as the user typed it.
std::string TableFailed(std::string_view name, const error::Error &error);

} // namespace cli_messages
