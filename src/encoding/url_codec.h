#pragma once
// Percent-encoding: bytes of the kept set are copied, a space becomes '+', every other
// byte "%XX" with upper-case hex. Decoding undoes it and reports malformed escapes; "%00" is
// one of them, as the NUL byte it stands for would end the text it is put into.
#include "base/error.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace url_codec
{

std::string UrlEncode(std::string_view in);
// The decoded bytes, or a BadEscape (found: the three bytes) or TruncatedEscape error whose
// position is the 1-based position of the offending '%'.
error::Result<std::string> UrlDecode(std::string_view in);

// The eight menu commands. "Whole" forms take the whole source text, "Selection" forms the
// selected text.
std::string EncodeWhole(std::string_view text); // as one string
std::string EncodeWholeLines(std::string_view text); // each line, breaks kept
std::string EncodeSelectionLines(std::string_view text); // SplitLines, CR LF after each
// Decoding can fail; out then holds what the buffer holds after the failed command: the text
// as it was, except that DecodeWholeLines keeps the lines before the failing one decoded. out
// must not be where text lies.
error::Result<void> DecodeWhole(std::string_view text, std::string &out);
error::Result<void> DecodeWholeLines(std::string_view text, std::string &out);
error::Result<void> DecodeSelectionLines(std::string_view text, std::string &out);

} // namespace url_codec
