#pragma once
// The one place where bytes become QString and back. Everything shown in a window that
// comes from the buffers, the tables or the settings files passes through here.
//
// Reading the source text back from a QPlainTextEdit: both edit->toPlainText() and
// edit->document()->toRawText() are lossless through EditorTextToBytes (checked with every
// byte 1-255, every lead x trail pair, lone CR/LF and random strings in a real widget):
// - the codec never produces '\r', '\n' inside a line, U+00A0, U+2028, U+2029 or
//   U+FDD0/U+FDD1, the only characters setPlainText or toPlainText change;
// - control characters 0x01-0x1F and 0x7F other than CR and LF are kept as they are;
// - toRawText() separates blocks with U+2029, which EditorTextToBytes reads as CR LF.
// Either may be used; toRawText() saves one pass over the text.
// Only CR LF is a line break in the editor; a lone CR or LF shows as U+F70D / U+F70A, a
// byte that is no character as U+F780-U+F7FF, and each comes back as its byte.
#include <QString>
#include <string>
#include <string_view>

// Source text (CR LF line breaks) <-> editor text ('\n' line breaks); lossless.
QString BytesToEditorText(std::string_view bytes);
std::string EditorTextToBytes(const QString &text);

// One line (a URL list item, a combo box text, a table name) <-> QString; lossless for
// bytes without NUL, CR and LF.
QString LineToQString(std::string_view bytes);
std::string QStringToLine(const QString &text);
// A URL box's text: as QStringToLine, but a character code page 932 cannot hold is
// percent-encoded from UTF-8 instead of becoming '?'.
std::string QStringToUrl(const QString &text);
