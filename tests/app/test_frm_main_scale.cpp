// The window with big buffers: a big append fills the list in one batch and keeps the view's
// state, the list only ever reads the rows it shows, the editor wraps only while a huge line
// exists, and an unedited source text is never re-encoded from the editor.
#include "app/frm_main.h"
#include "app/url_list_model_qt.h"
#include "base/file_io.h"
#include "encoding/editor_text_qt.h"
#include "settings/frm_set.h"
#include "support/window_test.h"
#include "text/func_lanzo.h"

#include <QElapsedTimer>
#include <QListView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest>
#include <algorithm>
#include <random>

namespace
{

UrlListModel *listModel(const Session &s)
{
    return qobject_cast<UrlListModel *>(s.list()->model());
}

func_token::StringList numbered(const char *prefix, int count)
{
    func_token::StringList items;
    items.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        items.push_back(prefix + std::to_string(i));
    return items;
}

// A text of lines with the given lengths in characters, of "a" or of あ (two bytes each).
std::string linesOf(const QList<int> &lengths, std::string_view unit = "a")
{
    std::string text;
    for (int i = 0; i < lengths.size(); ++i) {
        if (i > 0) text += "\r\n";
        for (int n = 0; n < lengths[i]; ++n)
            text += unit;
    }
    return text;
}

bool wraps(const Session &s)
{
    return s.memo()->lineWrapMode() != QPlainTextEdit::NoWrap;
}

// Puts the caret at a character of a line (0-based).
void caretAt(const Session &s, int line, int column)
{
    QTextCursor cursor(s.memo()->document()->findBlockByNumber(line));
    cursor.setPosition(cursor.position() + column);
    s.memo()->setTextCursor(cursor);
}

} // namespace

class TstScale : public WindowTest
{
    Q_OBJECT
private slots:
    void appendKeepsTheView_data();
    void appendKeepsTheView();
    void listReadsOnlyTheRowsItShows();
    void listScrollsToItsWidestItem_data();
    void listScrollsToItsWidestItem();
    void wrapFollowsLongLines_data();
    void wrapFollowsLongLines();
    void unEditedTextIsNotReencoded_data();
    void unEditedTextIsNotReencoded();
    void bigTextLoadsInTheBackground_data();
    void bigTextLoadsInTheBackground();
    void bigTextLoadStoppedByClosing();
    void listOrdersMatchTheListFunctions_data();
    void listOrdersMatchTheListFunctions();
};

void TstScale::appendKeepsTheView_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("appended");
    QTest::addColumn<int>("topRow"); // the row scrolled to the top before the append
    QTest::addColumn<bool>("reset");
    const int limit = int(UrlListModel::kInsertRows);
    QTest::newRow("a few items: inserted rows") << 10 << 3 << 0 << false;
    QTest::newRow("as many as the limit: inserted rows") << 10 << limit << 0 << false;
    QTest::newRow("a big batch: one reset") << 10 << 50000 << 0 << true;
    QTest::newRow("a big batch into an empty list") << 0 << 50000 << 0 << true;
    QTest::newRow("a big batch behind a scrolled list") << 5000 << 50000 << 3000 << true;
}

void TstScale::appendKeepsTheView()
{
    QFETCH(int, before);
    QFETCH(int, appended);
    QFETCH(int, topRow);
    QFETCH(bool, reset);
    Session s(home);
    UrlListModel *model = listModel(s);
    s.main()->setUrlListItems(numbered("old", before));
    const std::vector<int> selected = before >= 4 ? std::vector<int> { 1, 3 } : std::vector<int> {};
    for (int row : selected)
        s.main()->addUrlListSelection({ std::size_t(row) });
    if (!selected.empty()) s.list()->selectionModel()->setCurrentIndex(model->index(3), QItemSelectionModel::NoUpdate);
    if (topRow > 0) s.list()->scrollTo(model->index(topRow), QAbstractItemView::PositionAtTop);

    QSignalSpy resets(model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(model, &QAbstractItemModel::rowsInserted);
    s.main()->appendUrlListItems(numbered("new", appended));

    QCOMPARE(resets.count(), reset ? 1 : 0);
    QCOMPARE(inserts.count(), reset ? 0 : 1);
    QCOMPARE(model->size(), std::size_t(before + appended));
    QCOMPARE(model->item(std::size_t(before)), std::string("new0"));
    QCOMPARE(model->item(model->size() - 1), "new" + std::to_string(appended - 1));
    QCOMPARE(s.main()->selectedUrlListRows(), selected);
    QCOMPARE(s.list()->currentIndex().row(), selected.empty() ? -1 : 3);
    if (topRow > 0) QCOMPARE(s.list()->indexAt(QPoint(1, 1)).row(), topRow);
}

void TstScale::listReadsOnlyTheRowsItShows()
{
    // A view that measured its items one by one would read all of them on every reset.
    Session s(home);
    const std::size_t first = listModel(s)->dataRequests();
    s.main()->setUrlListItems(numbered("http://example.jp/", 100000));
    s.list()->repaint();
    s.main()->appendUrlListItems(numbered("http://example.jp/more/", 100000));
    s.list()->scrollToBottom();
    s.list()->repaint();
    const std::size_t requests = listModel(s)->dataRequests() - first;
    QVERIFY2(requests < 5000, qPrintable(QString::number(requests)));
}

void TstScale::listScrollsToItsWidestItem_data()
{
    QTest::addColumn<int>("row"); // of the long item among five short ones
    QTest::newRow("first") << 0;
    QTest::newRow("middle") << 2;
    QTest::newRow("last") << 5;
}

// The view takes one row's size for all rows; the scroll bar must still reach the end of the
// widest item wherever it stands, and go when that item goes.
void TstScale::listScrollsToItsWidestItem()
{
    QFETCH(int, row);
    Session s(home);
    func_token::StringList items = numbered("http://s/", 5);
    const std::string wide = "http://w/" + std::string(600, 'W');
    items.insert(items.begin() + row, wide);
    const QScrollBar *bar = s.list()->horizontalScrollBar();
    const int needed = s.list()->fontMetrics().horizontalAdvance(LineToQString(wide));
    const auto reach = [&] { return bar->maximum() + s.list()->viewport()->width(); };

    s.main()->setUrlListItems(items);
    QTRY_VERIFY2(reach() >= needed, qPrintable(QStringLiteral("%1 < %2").arg(reach()).arg(needed)));
    s.main()->addUrlListSelection({ std::size_t(row) });
    s.main()->lstDeleteClick();
    QTRY_COMPARE(bar->maximum(), 0);
    s.main()->appendUrlListItems({ wide });
    QTRY_VERIFY(reach() >= needed);
}

// Edits of the wrapping test.
enum Edit { NoEdit, TypeAtEndOfLine0, PasteLongLine, SplitLine0, SplitLine0ThenUndo, DeleteLine1, TypeInLine1 };

void TstScale::wrapFollowsLongLines_data()
{
    QTest::addColumn<QList<int>>("lines");
    QTest::addColumn<bool>("doubleByte");
    QTest::addColumn<int>("edit");
    QTest::addColumn<bool>("wrap");
    const int limit = TfrmMain::kLongLineChars;
    QTest::newRow("short lines") << QList<int> { 10, 5000, 0 } << false << int(NoEdit) << false;
    QTest::newRow("a line at the limit") << QList<int> { limit } << false << int(NoEdit) << false;
    QTest::newRow("a line over the limit") << QList<int> { 3, limit + 1, 3 } << false << int(NoEdit) << true;
    // The limit counts characters: these are 2 * limit - 2 bytes.
    QTest::newRow("double-byte characters at the limit") << QList<int> { limit - 1 } << true << int(NoEdit) << false;
    QTest::newRow("typing makes a line long") << QList<int> { limit, 3 } << false << int(TypeAtEndOfLine0) << true;
    QTest::newRow("pasting a long line") << QList<int> { 3 } << false << int(PasteLongLine) << true;
    QTest::newRow("splitting the long line") << QList<int> { limit + 100 } << false << int(SplitLine0) << false;
    QTest::newRow("undoing the split") << QList<int> { limit + 100 } << false << int(SplitLine0ThenUndo) << true;
    QTest::newRow("deleting the long line") << QList<int> { 3, limit + 1, 3 } << false << int(DeleteLine1) << false;
    QTest::newRow("another long line remains")
        << QList<int> { limit + 100, 3, limit + 1 } << false << int(SplitLine0) << true;
    QTest::newRow("typing on a short line") << QList<int> { limit + 1, 3 } << false << int(TypeInLine1) << true;
}

void TstScale::wrapFollowsLongLines()
{
    QFETCH(QList<int>, lines);
    QFETCH(bool, doubleByte);
    QFETCH(int, edit);
    QFETCH(bool, wrap);
    Session s(home);
    const std::string text = linesOf(lines, doubleByte ? sjis::A : "a");
    s.main()->setSourceText(text, false);
    const bool wrappedAtStart = wraps(s);
    QPlainTextEdit *memo = s.memo();
    switch (Edit(edit)) {
    case NoEdit:
        break;
    case TypeAtEndOfLine0:
        caretAt(s, 0, lines[0]);
        QTest::keyClick(memo, Qt::Key_B);
        break;
    case PasteLongLine:
        memo->textCursor().insertText(QString(TfrmMain::kLongLineChars + 1, QLatin1Char('p')));
        break;
    case SplitLine0:
    case SplitLine0ThenUndo:
        caretAt(s, 0, lines[0] / 2);
        QTest::keyClick(memo, Qt::Key_Return);
        QCoreApplication::processEvents();
        if (edit == SplitLine0ThenUndo) s.main()->mnuUndoClick();
        break;
    case DeleteLine1: {
        QTextCursor cursor(memo->document()->findBlockByNumber(1));
        cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        break;
    }
    case TypeInLine1:
        caretAt(s, 1, 1);
        QTest::keyClick(memo, Qt::Key_B);
        break;
    }
    QCoreApplication::processEvents();
    QCOMPARE(wraps(s), wrap);
    if (edit == NoEdit) {
        QCOMPARE(wrappedAtStart, wrap);
        QCOMPARE(s.main()->sourceText(), text);
    }
    // Short text put in as a whole unwraps again.
    s.main()->setSourceText("short\r\ntext", false);
    QCoreApplication::processEvents();
    QVERIFY(!wraps(s));
}

// Commands that read the whole source text without changing it in the editor.
enum Command { Extract, ExtractLinks, TableOnWholeText, SourceToList, SaveAs, Navigate };

void TstScale::unEditedTextIsNotReencoded_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("edited");
    for (bool edited : { false, true }) {
        const char *state = edited ? "edited: " : "unedited: ";
        QTest::addRow("%sextract", state) << int(Extract) << edited;
        QTest::addRow("%sextract links", state) << int(ExtractLinks) << edited;
        QTest::addRow("%stable on the whole text", state) << int(TableOnWholeText) << edited;
        QTest::addRow("%ssource to list", state) << int(SourceToList) << edited;
        QTest::addRow("%ssave as", state) << int(SaveAs) << edited;
    }
    QTest::newRow("unedited: caret keys and selection") << int(Navigate) << false;
}

void TstScale::unEditedTextIsNotReencoded()
{
    QFETCH(int, command);
    QFETCH(bool, edited);
    file_io::MakeDirectory(home.paths().tableDir);
    writeBytes(home.paths().tableDir + "/sp.tbl", "SP\t \r\n");
    Session s(home);
    func_save::SetDialogState settings;
    settings.prefix.items = { "http://" };
    settings.prefix.checked = { true };
    s.windows().set->applyState(settings);

    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "<a href=\"http://example.jp/" + std::to_string(i) + "\">\x93\xfa\x96\x7b</a>SP\r\n";
    s.main()->setSourceText(text, false);
    if (edited) {
        // The edit must reach every command: the URL typed at the start is extracted.
        s.memo()->moveCursor(QTextCursor::Start);
        QTest::keyClicks(s.memo(), "http://typed/ ");
        text = "http://typed/ " + text;
    }
    const int before = s.main()->sourceEncodeCount();
    const QString saved = QString::fromStdString(home.path("saved.txt"));
    switch (Command(command)) {
    case Extract:
        s.main()->N7Click();
        QCOMPARE(s.main()->urlListItems().size(), std::size_t(20000 + edited));
        QCOMPARE(s.main()->urlListItems().front(), std::string(edited ? "http://typed/" : "http://example.jp/0"));
        break;
    case ExtractLinks:
        s.main()->HTML1Click();
        QCOMPARE(s.main()->urlListItems().size(), std::size_t(20000));
        break;
    case TableOnWholeText:
        s.main()->cvpMenuClick("sp");
        QVERIFY(s.main()->sourceText().find("SP") == std::string::npos);
        break;
    case SourceToList:
        s.main()->mnuSourceToListClick();
        QCOMPARE(s.main()->urlListItems().front(), func_token::SplitLines(text).front());
        break;
    case SaveAs:
        s.prompts.saveFiles.push_back(saved);
        s.main()->mnuSaveAsClick();
        QCOMPARE(readBytes(saved.toStdString()), text);
        break;
    case Navigate:
        QTest::keyClick(s.memo(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(s.memo(), Qt::Key_Up, Qt::ShiftModifier);
        QVERIFY(s.main()->hasSourceSelection());
        QCOMPARE(s.main()->sourceText(), text);
        break;
    }
    // An edited text is read back once, then the bytes serve again until the next edit.
    QCOMPARE(s.main()->sourceEncodeCount() - before, edited ? 1 : 0);
    s.main()->sourceText();
    QCOMPARE(s.main()->sourceEncodeCount() - before, edited ? 1 : 0);
}

// ---- Big texts laid in on a worker thread ------------------------------------------------------

namespace
{

// A text just over the background-load size: lines of Shift_JIS, half-width kana, bytes that are
// no character, a lead byte before the line break and a few very short lines.
std::string bigText(char tag)
{
    std::string text;
    text.reserve(TfrmMain::kBackgroundLoadBytes + 4096);
    for (int i = 0; text.size() < TfrmMain::kBackgroundLoadBytes + 1000; ++i) {
        text += tag;
        text += std::to_string(i);
        text += i % 7 == 0 ? std::string("\r\n") : std::string(" <a href=\"http://example.jp/\">");
        text += sjis::A;
        text += sjis::KA;
        text += "\xb1\x80\xa0\xfd ";
        text += sjis::TAKA;
        text += i % 5 == 0 ? "\x82" : "";
        text += "\r\n";
    }
    return text;
}

// Waits until the whole text is in the editor.
bool waitForLoad(const Session &s)
{
    QElapsedTimer waited;
    waited.start();
    while (s.main()->sourceLoadPending() && waited.elapsed() < 60000)
        QTest::qWait(5);
    return !s.main()->sourceLoadPending();
}

// What the editor holds, as bytes.
std::string editorBytes(const Session &s)
{
    return EditorTextToBytes(s.memo()->document()->toRawText());
}

} // namespace

// What happens while a big text is still being laid in.
enum LoadAction { LeaveAlone, TypeKey, SelectAll, SelectBytesNearTheEnd, SmallTextInstead, BigTextInstead, Undo };

void TstScale::bigTextLoadsInTheBackground_data()
{
    QTest::addColumn<int>("action");
    QTest::newRow("left alone: the whole text arrives") << int(LeaveAlone);
    QTest::newRow("a key typed waits for it and lands at the caret") << int(TypeKey);
    QTest::newRow("select all selects the whole text") << int(SelectAll);
    QTest::newRow("selecting bytes past the start") << int(SelectBytesNearTheEnd);
    QTest::newRow("a small text set meanwhile wins") << int(SmallTextInstead);
    QTest::newRow("another big text set meanwhile wins") << int(BigTextInstead);
    QTest::newRow("typing and undoing after the load") << int(Undo);
}

void TstScale::bigTextLoadsInTheBackground()
{
    QFETCH(int, action);
    Session s(home);
    const std::string text = bigText('a');
    const int encodes = s.main()->sourceEncodeCount();
    s.main()->setSourceText(text, false);

    // At once: the bytes are the text, the editor shows its start and cannot be edited yet.
    QVERIFY(s.main()->sourceLoadPending());
    QVERIFY(s.memo()->isReadOnly());
    QCOMPARE(s.main()->sourceText(), text);
    const std::string shown = editorBytes(s);
    QVERIFY(!shown.empty() && shown.size() <= TfrmMain::kPreviewBytes);
    QCOMPARE(text.compare(0, shown.size(), shown), 0);

    std::string want = text;
    switch (LoadAction(action)) {
    case LeaveAlone:
        break;
    case TypeKey:
        s.memo()->moveCursor(QTextCursor::Start);
        QTest::keyClick(s.memo(), Qt::Key_X);
        QVERIFY(!s.main()->sourceLoadPending());
        want = "x" + text;
        break;
    case SelectAll:
        s.main()->mnuSelectAllClick();
        QCOMPARE(s.main()->selectedSourceText(), text);
        break;
    case SelectBytesNearTheEnd: {
        // One whole line near the end.
        const std::size_t start = text.rfind('\n', text.size() - 100) + 1;
        const std::size_t length = text.find('\r', start) - start;
        s.main()->selectSourceBytes(start, length);
        QCOMPARE(s.main()->selectedSourceText(), text.substr(start, length));
        break;
    }
    case SmallTextInstead:
        want = "small\r\ntext";
        s.main()->setSourceText(want, true);
        QVERIFY(!s.main()->sourceLoadPending());
        break;
    case BigTextInstead:
        want = bigText('b');
        s.main()->setSourceText(want, true);
        QVERIFY(s.main()->sourceLoadPending());
        break;
    case Undo:
        QVERIFY(waitForLoad(s));
        s.memo()->moveCursor(QTextCursor::End);
        QTest::keyClicks(s.memo(), "yz");
        QCOMPARE(s.main()->sourceText(), text + "yz");
        s.main()->mnuUndoClick();
        break;
    }
    QVERIFY(waitForLoad(s));
    QVERIFY(!s.memo()->isReadOnly());
    QCOMPARE(s.main()->sourceText(), want);
    QCOMPARE(editorBytes(s), want);
    QCOMPARE(s.memo()->document()->blockCount(), int(std::count(want.begin(), want.end(), '\n')) + 1);
    // The bytes served every read of an unedited text.
    if (action == LeaveAlone || action == SelectAll || action == SelectBytesNearTheEnd)
        QCOMPARE(s.main()->sourceEncodeCount(), encodes);
    // Edits after the load reach the bytes.
    s.memo()->moveCursor(QTextCursor::Start);
    QTest::keyClick(s.memo(), Qt::Key_Q);
    QCOMPARE(s.main()->sourceText(), "q" + want);
}

void TstScale::bigTextLoadStoppedByClosing()
{
    // The window goes while the worker is still filling the document: it is stopped and joined.
    auto s = std::make_unique<Session>(home);
    s->main()->setSourceText(bigText('c'), false);
    QVERIFY(s->main()->sourceLoadPending());
    s.reset();
    QTest::qWait(20); // a hand-over posted before the end finds no window
}

// The window sorts and removes duplicates over views of its items; the result must be what the
// list functions give, case variants, Shift_JIS and empty items included.
void TstScale::listOrdersMatchTheListFunctions_data()
{
    QTest::addColumn<int>("command");
    QTest::newRow("sort forward") << 0;
    QTest::newRow("sort backward") << 1;
    QTest::newRow("remove duplicates") << 2;
}

void TstScale::listOrdersMatchTheListFunctions()
{
    QFETCH(int, command);
    Session s(home);
    std::mt19937 rng(5 + command);
    const std::string pieces[]
        = { "a", "A", "b", "B", "/", "", std::string(sjis::A), std::string(sjis::KA), "\x83\x61", "z" };
    for (int round = 0; round < 30; ++round) {
        func_token::StringList items(rng() % 400);
        for (std::string &item : items)
            for (int n = int(rng() % 4); n > 0; --n)
                item += pieces[rng() % std::size(pieces)];
        func_token::StringList want = items;
        s.main()->setUrlListItems(items);
        switch (command) {
        case 0:
            func_lanzo::SortForward(want);
            s.main()->lstSortForwardClick();
            break;
        case 1:
            func_lanzo::SortBackward(want);
            s.main()->lstSortBackwardClick();
            break;
        default:
            func_lanzo::RemoveDuplicates(want);
            s.main()->lstRemoveDuplicatesClick();
            break;
        }
        QCOMPARE(s.main()->urlListItems(), want);
    }
}

QTEST_MAIN(TstScale)
#include "test_frm_main_scale.moc"
