#include "encoding/editor_text_qt.h"

#include "encoding/editor_codec.h"

namespace
{

QString decode(std::string_view bytes, editor_codec::Breaks breaks)
{
    if (bytes.empty()) return QString();
    QString text(qsizetype(bytes.size()), Qt::Uninitialized);
    const std::size_t n = editor_codec::DecodeInto(bytes, reinterpret_cast<char16_t *>(text.data()), breaks);
    text.truncate(qsizetype(n));
    return text;
}

std::string encode(const QString &text, editor_codec::Breaks breaks)
{
    const std::u16string_view units(reinterpret_cast<const char16_t *>(text.utf16()), std::size_t(text.size()));
    std::string bytes(editor_codec::MaxEncodedSize(units.size()), '\0');
    bytes.resize(editor_codec::EncodeInto(units, bytes.data(), breaks));
    return bytes;
}

} // namespace

QString BytesToEditorText(std::string_view bytes)
{
    return decode(bytes, editor_codec::Breaks::Text);
}
std::string EditorTextToBytes(const QString &text)
{
    return encode(text, editor_codec::Breaks::Text);
}
QString LineToQString(std::string_view bytes)
{
    return decode(bytes, editor_codec::Breaks::Line);
}
std::string QStringToLine(const QString &text)
{
    return encode(text, editor_codec::Breaks::Line);
}
std::string QStringToUrl(const QString &text)
{
    return editor_codec::EncodeUrlLine(
        std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()), std::size_t(text.size())));
}
