// Bytes shown in a real QPlainTextEdit and read back must come back byte for byte.
#include "encoding/editor_text_qt.h"

#include <QPlainTextEdit>
#include <QTest>
#include <QTextDocument>

#include <random>

namespace
{

std::string allBytesExceptNul()
{
    std::string s;
    for (int b = 1; b < 256; ++b)
        s += char(b);
    return s;
}

// Every lead x trail pair in a row: shows whether any character the codec produces is
// altered by the document (U+00A0, U+2028, U+2029 and U+FDD0/U+FDD1 would be).
std::string allPairs()
{
    std::string s;
    for (int lead = 0x81; lead <= 0xFC; ++lead)
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            s += { char(lead), char(trail) };
    return s;
}

QByteArray hex(const std::string &s)
{
    return QByteArray::fromStdString(s).toHex(' ');
}

} // namespace

class TestEditorRoundTrip : public QObject
{
    Q_OBJECT

private:
    QPlainTextEdit m_edit;

    // What the window does: show the bytes, read them back from the widget.
    std::string throughEditor(const std::string &bytes, bool raw)
    {
        m_edit.setPlainText(BytesToEditorText(bytes));
        return EditorTextToBytes(raw ? m_edit.document()->toRawText() : m_edit.toPlainText());
    }

private slots:
    void tricky_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        auto row = [](const char *name, const std::string &s) { QTest::newRow(name) << QByteArray::fromStdString(s); };
        std::string controls;
        for (int b = 1; b < 0x20; ++b)
            controls += char(b);
        controls += '\x7f';
        row("control characters", controls);
        row("control characters between breaks", "a\r\n" + controls + "\r\n" + controls);
        row("every byte", allBytesExceptNul());
        row("every pair", allPairs());
        row("lone breaks", "a\rb\nc\n\rd\r\r\n");
        row("empty lines", "\r\n\r\n\r\n");
        row("text ending in a break", "\x82\xa0\r\n");
        row("invalid and re-encoding pairs", "\x87\x90\xed\x40\xfa\x4a\x85\x41\x80\xa0\xfd\xfe\xff\x82");
        row("half-width kana and nbsp-like bytes", "\xa0\xa1\xdf \xa0 ");
        row("separators and tabs", "\t\x0b\x0c\x1c\x1d\x1e\x85");
        row("empty", "");
    }
    void tricky()
    {
        QFETCH(QByteArray, bytes);
        const std::string in = bytes.toStdString();
        QCOMPARE(hex(throughEditor(in, false)), hex(in));
        QCOMPARE(hex(throughEditor(in, true)), hex(in));
    }

    void randomStrings()
    {
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> length(0, 64), anyByte(1, 255), pick(0, 2);
        const char favoured[] = "\r\n\x82\xa0\x87\x90\x0b\x0c\x1c\x85\x80\xff";
        for (int n = 0; n < 3000; ++n) {
            std::string s(std::size_t(length(rng)), '\0');
            for (char &c : s)
                c = pick(rng) == 0 ? favoured[std::size_t(anyByte(rng)) % (sizeof favoured - 1)] : char(anyByte(rng));
            QCOMPARE(hex(throughEditor(s, false)), hex(s));
        }
    }

    // Lines typed into the widget come out as CR LF lines.
    void typedText()
    {
        m_edit.clear();
        QTest::keyClicks(&m_edit, QStringLiteral("ab"));
        QTest::keyClick(&m_edit, Qt::Key_Return);
        m_edit.insertPlainText(QString::fromUtf16(u"\u3042"));
        QCOMPARE(hex(EditorTextToBytes(m_edit.toPlainText())), hex("ab\r\n\x82\xa0"));
        QCOMPARE(hex(EditorTextToBytes(m_edit.document()->toRawText())), hex("ab\r\n\x82\xa0"));
    }

    void lines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("every byte with breaks") << QByteArray::fromStdString(allBytesExceptNul());
        QTest::newRow("shift_jis") << QByteArray("\x83\x65\x83\x58\x83\x67 \xb1");
    }
    void lines()
    {
        QFETCH(QByteArray, bytes);
        const std::string in = bytes.toStdString();
        QCOMPARE(hex(QStringToLine(LineToQString(in))), hex(in));
    }
};

QTEST_MAIN(TestEditorRoundTrip)
#include "test_editor_text_qt.moc"
