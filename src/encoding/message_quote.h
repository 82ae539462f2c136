#pragma once
// Input bytes as a message may quote them. Messages reach terminals and message boxes, so
// text from pages, files and command lines must not carry control codes there: C0 controls,
// DEL and C1 controls are shown as \xHH. The result is always UTF-8: input that is UTF-8
// stays as it is; other input is read as Shift_JIS (code page 932), and a byte that starts
// no character of it is shown as \xHH too.
#include <string>
#include <string_view>

namespace message_quote
{

std::string Quoted(std::string_view bytes);

} // namespace message_quote
