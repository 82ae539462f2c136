#pragma once
// The one place where bytes become QString and back. Everything shown in a window that
// comes from the buffers, the tables or the settings files passes through here.
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
