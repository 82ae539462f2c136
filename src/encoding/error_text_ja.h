#pragma once
// The window's words for the errors of the core (UTF-8, Japanese where the window speaks
// Japanese; a download's reason is shown as the transfer library words it). Every window
// turns an error into text here; input quoted in a message goes through message_quote.
#include "base/error.h"

#include <string>
#include <vector>

namespace error_text_ja
{

// The error itself: a file's "PATH：reason", a bad escape with its position, ...
std::string Text(const error::Error &error);

// A file the window could not read or write, with what went wrong.
std::string ReadFailed(const error::Error &error);
std::string WriteFailed(const error::Error &error);
// The files the exit could not save, and the question whether to end all the same.
std::string ExitWriteFailed(const std::vector<error::Error> &failures);

} // namespace error_text_ja
