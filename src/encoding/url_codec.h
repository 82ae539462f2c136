#pragma once
// Percent-encoding: bytes of the kept set are copied, a space becomes '+', every other
// byte "%XX" with upper-case hex. Decoding undoes it and reports malformed escapes; "%00" is
// one of them, as the NUL byte it stands for would end the text it is put into.
#include <cstddef>
#include <string>
#include <string_view>

namespace url_codec
{

std::string UrlEncode(std::string_view in);

struct DecodeResult {
    enum class Error { None, InvalidChar, Truncated };
    std::string out;
    Error error = Error::None;
    std::size_t position = 0; // 1-based position of the offending '%'
    std::string found; // InvalidChar: the three bytes '%', X, Y as found
    bool ok() const { return error == Error::None; }
    // The user-facing message (UTF-8) for a failed decode.
    std::string message() const;
};
DecodeResult UrlDecode(std::string_view in);

// The eight menu commands, as text in -> text out. "Whole" forms take the whole source
// text, "Selection" forms the selected text. On a decoding error ok is false, message holds
// the user-facing text and text holds what the buffer holds after the failed command.
struct CommandResult {
    std::string text;
    bool ok = true;
    std::string message;
};
CommandResult EncodeWhole(std::string_view text); // as one string
CommandResult EncodeWholeLines(std::string_view text); // each line, breaks kept
CommandResult EncodeSelectionLines(std::string_view text); // SplitLines, CR LF after each
CommandResult DecodeWhole(std::string_view text);
CommandResult DecodeWholeLines(std::string_view text);
CommandResult DecodeSelectionLines(std::string_view text);

} // namespace url_codec
