#include "app/cli_messages.h"

#include "encoding/error_text_ja.h"
#include "encoding/message_quote.h"

namespace cli_messages
{

std::string Text(const error::Error &error)
{
    using error::Kind;
    switch (error.kind) {
    case Kind::NotFound:
    case Kind::System:
    case Kind::TooLarge:
        return message_quote::Quoted(error.path) + ": " + error.reason();
    case Kind::NotUtf8:
        return "the input is not well-formed UTF-8 (or encodes a NUL byte); the text is left unchanged";
    case Kind::Stopped:
        return "stopped";
    default:
        // The same words as the window: the window's table has them.
        return error_text_ja::Text(error);
    }
}

std::string TableFailed(std::string_view name, const error::Error &error)
{
    if (error.kind == error::Kind::NotFound) return "table " + message_quote::Quoted(name) + " not found";
    return "table " + message_quote::Quoted(name) + ": " + error.reason();
}

} // namespace cli_messages
