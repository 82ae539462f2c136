// The main window: layout, start-up, the two buffers and the view state.
#include "app/frm_main.h"

#include "app/frm_main_menus.h"
#include "app/gui_startup_qt.h"
#include "app/memory_guard_qt.h"
#include "app/url_list_model_qt.h"
#include "base/file_io.h"
#include "base/screens_qt.h"
#include "encoding/editor_text_qt.h"
#include "tables/cnv_table.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <climits>
#include <functional>
#include <thread>

namespace
{

const QString kWorkFileTitle = QStringLiteral("Lanzo 作業用ファイル編集中");
constexpr int kMinPane = 30;

// A splitter that reports when it has been laid out, so a stored list width can be applied
// once real sizes exist.
class PaneSplitter : public QSplitter
{
public:
    using QSplitter::QSplitter;
    std::function<void()> onResized;

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QSplitter::resizeEvent(event);
        if (onResized) onResized();
    }
};

// The document's text as the codec expects it: blocks joined by U+2029, which encodes as a
// line break. toPlainText() would also turn U+00A0 into a space.
QString documentText(const QTextDocument *doc)
{
    return doc->toRawText();
}

// Length in characters of the longest line of an editor text ('\n' between lines).
qsizetype longestLine(const QString &text)
{
    qsizetype longest = 0, start = 0;
    for (;;) {
        const qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        longest = std::max(longest, (end < 0 ? text.size() : end) - start);
        if (end < 0) return longest;
        start = end + 1;
    }
}

// The same for the editor's document; stops at the first line longer than TfrmMain::kLongLineChars.
int longestLine(const QTextDocument *doc)
{
    int longest = 0;
    for (QTextBlock block = doc->begin(); block.isValid() && longest <= TfrmMain::kLongLineChars; block = block.next())
        longest = std::max(longest, block.length() - 1);
    return longest;
}

} // namespace

TfrmMain::TfrmMain(const app_paths::AppPaths &paths, UserPrompts *prompts, QWidget *parent)
    : QMainWindow(parent)
    , m_paths(paths)
    , m_prompts(prompts)
    , m_menus(std::make_unique<MenuSet>())
{
    setObjectName(QStringLiteral("frmMain"));
    InitLanzoResources();
    setFont(LanzoFont());
    setMinimumSize(500, 100);
    resize(500, 500);
    buildLayout();
    buildMenus();
}

TfrmMain::~TfrmMain()
{
    cancelSourceLoad();
}

void TfrmMain::setWindows(TfrmCtrl *ctrl, TfrmCnv *cnv, TfrmExtraction *extraction, TfrmExtHtml *extHtml, TfrmSet *set)
{
    m_ctrl = ctrl;
    m_cnv = cnv;
    m_extraction = extraction;
    m_extHtml = extHtml;
    m_set = set;
}

void TfrmMain::buildLayout()
{
    pnl_main = new QWidget(this);
    pnl_main->setObjectName(QStringLiteral("pnl_main"));
    auto *layout = new QHBoxLayout(pnl_main);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *splitter = new PaneSplitter(Qt::Horizontal, pnl_main);
    Splitter1 = splitter;
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    // The panes change when the drag ends; the rubber band shows the new place meanwhile.
    Splitter1->setOpaqueResize(false);
    // A stored width waits for the first show, when the splitter has its real size.
    splitter->onResized = [this] {
        if (m_listWidthPending) applyListWidth();
    };

    Memo1 = new QPlainTextEdit(Splitter1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Used only while a huge line makes the editor wrap. Breaking at word boundaries would
    // search the rest of a line without spaces for every row it lays out, which turns typing in
    // a megabyte of letters into a minute per keystroke.
    Memo1->setWordWrapMode(QTextOption::WrapAnywhere);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);
    Memo1->setMinimumWidth(kMinPane);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    Memo1->installEventFilter(this);
    Memo1->viewport()->installEventFilter(this);
    watchDocument();

    m_listModel = new UrlListModel(this);
    connect(m_listModel, &QAbstractItemModel::rowsInserted, this, [this] { m_keepListFile = false; });
    connect(m_listModel, &QAbstractItemModel::modelReset, this, [this] {
        if (m_listModel->size() > 0) m_keepListFile = false;
    });
    UrlList = new QListView(Splitter1);
    UrlList->setObjectName(QStringLiteral("UrlList"));
    UrlList->setModel(m_listModel);
    UrlList->setItemDelegate(new UrlListDelegate(m_listModel, UrlList));
    UrlList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    UrlList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    UrlList->setUniformItemSizes(true);
    // Items are clipped at the edge, never shortened with an ellipsis that hides their end.
    UrlList->setTextElideMode(Qt::ElideNone);
    // The splitter's own minimum would snap a narrow list back open; the collapse rule
    // below decides instead.
    UrlList->setMinimumWidth(1);
    UrlList->setContextMenuPolicy(Qt::CustomContextMenu);
    UrlList->installEventFilter(this);
    UrlList->viewport()->installEventFilter(this);

    Splitter1->addWidget(Memo1);
    Splitter1->addWidget(UrlList);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setCollapsible(0, false);
    Splitter1->setCollapsible(1, true);
    connect(Splitter1, &QSplitter::splitterMoved, this, &TfrmMain::onSplitterMoved);

    layout->addWidget(Splitter1);
    setCentralWidget(pnl_main);
    setTabOrder(Memo1, UrlList);
    Memo1->setFocus();
}

void TfrmMain::FormCreate(const window_settings::MainPart &stored)
{
    // Files dropped on the editor and the list are caught by the event filter as well.
    setAcceptDrops(true);
    file_io::MakeDirectory(m_paths.configDir);
    m_fileName.clear();
    updateTitle();

    RestoreWindowPlace(this, stored.left, stored.top, stored.width, stored.height);

    // An unreadable buffer file is reported and ends the set-up: the list and the tables are
    // then left alone, and the window starts with what it has.
    const auto missing
        = [](const error::Result<std::string> &read) { return !read && read.error().kind == error::Kind::NotFound; };
    const error::Result<std::string> work = file_io::ReadWholeFile(m_paths.workFile);
    if (!work && !missing(work)) {
        m_keepWorkFile = m_keepListFile = true;
        reportFileError("read", work.error());
        return;
    }
    bool workLoaded = false;
    try {
        if (work) setSourceText(*work, false);
        workLoaded = true;
        const error::Result<std::string> list = file_io::ReadWholeFile(m_paths.listFile);
        if (!list && !missing(list)) {
            m_keepListFile = true;
            reportFileError("read", list.error());
            return;
        }
        if (list) setUrlListItems(func_token::SplitLines(*list));
    } catch (const std::bad_alloc &) {
        // A buffer that did not fit in memory stays on disk as it is, like an unreadable one.
        m_keepListFile = true;
        m_keepWorkFile = m_keepWorkFile || !workLoaded;
        throw;
    }

    for (const std::string &path : cnv_table::SearchTableFiles(m_paths.tableDir))
        addTableItems(cnv_table::TableNameFromPath(path));
}

void TfrmMain::updateTitle()
{
    setWindowTitle(m_fileName.isEmpty() ? kWorkFileTitle : QStringLiteral("Lanzo ") + m_fileName);
}

// ---- Source text ---------------------------------------------------------------------------

std::string TfrmMain::sourceText() const
{
    if (m_bytesStale) {
        m_sourceBytes = EditorTextToBytes(documentText(Memo1->document()));
        m_bytesStale = false;
        ++m_sourceEncodeCount;
    }
    return m_sourceBytes;
}

void TfrmMain::setSourceText(std::string_view bytes, bool setModified)
{
    // What can run out of memory comes first, so that a failure leaves the text as it was.
    std::string normalized = func_token::NormalizeLineBreaks(bytes);
    const bool inBackground = normalized.size() >= kBackgroundLoadBytes;
    const QString text = inBackground ? QString() : BytesToEditorText(normalized);
    cancelSourceLoad();
    if (!inBackground) (void)sourceText(); // the old bytes are current should the editor fail
    m_lastEditWasUndo = false;
    if (inBackground) {
        m_bytesStale = false;
        if (setModified) m_modified = true;
        if (!normalized.empty() && m_fileName.isEmpty()) m_keepWorkFile = false;
        m_sourceBytes = std::move(normalized);
        startSourceLoad();
        return;
    }
    // Switched before the text goes in, so the new text is laid out once.
    setLongLineWrap(longestLine(text) > kLongLineChars);
    m_settingText = true;
    try {
        Memo1->setPlainText(text);
    } catch (const std::bad_alloc &) {
        // The editor is put back to the old text, which the bytes still hold.
        Memo1->setPlainText(BytesToEditorText(m_sourceBytes));
        m_settingText = false;
        throw;
    }
    m_settingText = false;
    if (Memo1->isReadOnly()) Memo1->setReadOnly(false); // a cancelled load left it read-only
    if (setModified) m_modified = true;
    if (!normalized.empty() && m_fileName.isEmpty()) m_keepWorkFile = false;
    m_sourceBytes = std::move(normalized);
}

// ---- Big texts laid in on a worker thread ----------------------------------------------------

// Filling a QTextDocument costs a few microseconds per line, seconds for a page of half a million
// lines. The editor shows the start of the text read-only while a worker builds the whole
// document, without a layout; the finished document is handed to the user-interface thread and
// put in the editor in one step.
struct TfrmMain::SourceLoad {
    std::thread worker;
    std::atomic<bool> cancel { false };
    QTextDocument *document = nullptr; // set by the worker before it posts the hand-over
    int longest = 0;
    unsigned serial = 0;
};

namespace
{

// The text is decoded and inserted a piece at a time, each piece ending after a line break:
// no whole-text UTF-16 copy, and a cancel is heard within milliseconds. A cut after an LF splits
// no character and no CR LF, so the pieces decode to the text's own lines and give the same
// blocks as one insert.
constexpr std::size_t kInsertPiece = std::size_t(1) << 20;

// Builds the document of bytes on the calling thread and hands it to target's thread; nullptr
// when cancelled.
QTextDocument *buildDocument(
    std::string_view bytes, const QFont &font, QThread *target, const std::atomic<bool> &cancel, int &longest)
{
    auto *doc = new QTextDocument;
    doc->setUndoRedoEnabled(false);
    doc->setDefaultFont(font);
    QTextCursor cursor(doc);
    qsizetype longestChars = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        if (cancel.load(std::memory_order_relaxed)) {
            delete doc;
            return nullptr;
        }
        std::size_t end = bytes.find('\n', std::min(bytes.size(), at + kInsertPiece));
        end = end == std::string_view::npos ? bytes.size() : end + 1;
        const QString piece = BytesToEditorText(bytes.substr(at, end - at));
        // A piece's first line goes on the last block of the pieces before it only when that
        // block is empty (the pieces end after line breaks), so lines are measured per piece.
        longestChars = std::max(longestChars, longestLine(piece));
        cursor.insertText(piece);
        at = end;
    }
    longest = int(std::min<qsizetype>(longestChars, INT_MAX));
    // The editor lays the document out for its width when it takes it, which makes a text layout
    // for every line; made here, on this thread, the editor only clears them.
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        if (cancel.load(std::memory_order_relaxed)) {
            delete doc;
            return nullptr;
        }
        block.layout();
    }
    doc->setDocumentLayout(new QPlainTextDocumentLayout(doc));
    doc->moveToThread(target);
    return doc;
}

} // namespace

void TfrmMain::startSourceLoad()
{
    const std::string_view bytes = m_sourceBytes;
    // The start of the text, cut after a line break where there is one (a cut inside a
    // character shows its bytes as escapes, which read back as the same bytes).
    std::size_t cut = std::min(bytes.size(), kPreviewBytes);
    const std::size_t lf = bytes.substr(0, cut).rfind('\n');
    if (lf != std::string_view::npos) cut = lf > 0 && bytes[lf - 1] == '\r' ? lf - 1 : lf; // before the break
    const QString preview = BytesToEditorText(bytes.substr(0, cut));
    setLongLineWrap(longestLine(preview) > kLongLineChars);
    m_settingText = true;
    Memo1->setPlainText(preview);
    m_settingText = false;
    Memo1->setReadOnly(true);

    m_load = std::make_unique<SourceLoad>();
    SourceLoad *load = m_load.get();
    load->serial = ++m_loadSerial;
    const QFont font = Memo1->document()->defaultFont();
    QThread *const target = thread();
    load->worker = std::thread([this, load, bytes, font, target] {
        load->document = buildDocument(bytes, font, target, load->cancel, load->longest);
        const unsigned serial = load->serial;
        QMetaObject::invokeMethod(
            this, [this, serial] { installLoadedDocument(serial); }, Qt::QueuedConnection);
    });
}

void TfrmMain::cancelSourceLoad()
{
    if (!m_load) return;
    m_load->cancel.store(true, std::memory_order_relaxed);
    if (m_load->worker.joinable()) m_load->worker.join();
    // A document finished before the cancel was heard is not wanted either.
    delete m_load->document;
    m_load.reset();
}

void TfrmMain::finishSourceLoad()
{
    if (m_load) installLoadedDocument(m_load->serial);
}

void TfrmMain::installLoadedDocument(unsigned serial)
{
    // A hand-over posted by a load that was cancelled or already installed is stale.
    if (!m_load || m_load->serial != serial) return;
    if (m_load->worker.joinable()) m_load->worker.join();
    QTextDocument *doc = m_load->document;
    const int longest = m_load->longest;
    m_load.reset();
    Memo1->setReadOnly(false);
    if (!doc) return;

    // The caret, the selection and the scroll position in the start of the text stay.
    const QTextCursor shown = Memo1->textCursor();
    const int anchor = shown.anchor(), position = shown.position();
    const int vertical = Memo1->verticalScrollBar()->value();
    const int horizontal = Memo1->horizontalScrollBar()->value();

    setLongLineWrap(longest > kLongLineChars);
    doc->setParent(Memo1);
    const QPointer<QTextDocument> previous = Memo1->document();
    m_settingText = true;
    Memo1->setDocument(doc);
    m_settingText = false;
    // The editor deletes only the document it made itself.
    delete previous.data();
    doc->setUndoRedoEnabled(true);
    watchDocument();

    QTextCursor cursor(doc);
    cursor.setPosition(std::min(anchor, doc->characterCount() - 1));
    cursor.setPosition(std::min(position, doc->characterCount() - 1), QTextCursor::KeepAnchor);
    Memo1->setTextCursor(cursor);
    Memo1->verticalScrollBar()->setValue(vertical);
    Memo1->horizontalScrollBar()->setValue(horizontal);
}

void TfrmMain::watchDocument()
{
    connect(
        Memo1->document(), &QTextDocument::contentsChange, this, &TfrmMain::onDocumentChanged, Qt::UniqueConnection);
}

bool TfrmMain::hasSourceSelection() const
{
    return Memo1->textCursor().hasSelection();
}

std::string TfrmMain::selectedSourceText() const
{
    // The selection's block breaks read back as U+2029, which the codec takes as CR LF.
    return EditorTextToBytes(Memo1->textCursor().selectedText());
}

void TfrmMain::replaceSourceSelection(std::string_view bytes)
{
    finishSourceLoad();
    QTextCursor cursor = Memo1->textCursor();
    cursor.insertText(BytesToEditorText(bytes));
    Memo1->setTextCursor(cursor);
    m_modified = true;
}

bool TfrmMain::isModified() const
{
    return m_modified;
}

void TfrmMain::setModified(bool modified)
{
    m_modified = modified;
}

void TfrmMain::onDocumentChanged(int from, int removed, int added)
{
    // While the editor shows only the start of a text, the bytes stay the text: re-encoding the
    // start would lose the rest. (The editor is read-only then, and every command that edits
    // waits for the whole text first.)
    if (m_settingText || m_load || (removed == 0 && added == 0)) return;
    m_bytesStale = true;
    m_modified = true;
    if (m_fileName.isEmpty() && !Memo1->document()->isEmpty()) m_keepWorkFile = false;
    if (!m_inUndo) m_lastEditWasUndo = false;
    followLongLines(from, removed, added);
}

// Only the lines an edit touched are looked at, so typing costs nothing extra. The whole text is
// searched again only when the edit may have shortened, split or removed a long line.
void TfrmMain::followLongLines(int from, int removed, int added)
{
    const QTextDocument *doc = Memo1->document();
    QTextBlock block = doc->findBlock(from);
    QTextBlock last = doc->findBlock(from + added);
    if (!last.isValid()) last = doc->lastBlock();
    int longest = 0;
    qint64 touched = 0;
    for (; block.isValid(); block = block.next()) {
        longest = std::max(longest, block.length() - 1);
        touched += block.length();
        if (block == last) break;
    }
    if (longest > kLongLineChars)
        m_wrapWanted = true;
    else if (m_wrapWanted && touched + removed > kLongLineChars)
        m_wrapWanted = longestLine(doc) > kLongLineChars;
    else
        return;
    // The editor cannot lay itself out again in the middle of an edit: switch once it is over.
    if (m_wrapQueued || m_wrapWanted == (Memo1->lineWrapMode() != QPlainTextEdit::NoWrap)) return;
    m_wrapQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_wrapQueued = false;
            setLongLineWrap(m_wrapWanted);
        },
        Qt::QueuedConnection);
}

void TfrmMain::setLongLineWrap(bool wrap)
{
    m_wrapWanted = wrap;
    const auto mode = wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap;
    if (Memo1->lineWrapMode() != mode) Memo1->setLineWrapMode(mode);
}

bool TfrmMain::canUndoSource() const
{
    const QTextDocument *doc = Memo1->document();
    return doc->isUndoAvailable() || (m_lastEditWasUndo && doc->isRedoAvailable());
}

namespace
{

// Editor position of a byte offset of the source text. Decoding is left to right with one
// byte of look-ahead, so the decoded prefix matches the document except when the offset
// splits a double-byte character or a CR LF: the prefix then ends in an escape where the
// document has the whole character, and the position lies just behind that character.
int editorPosition(const QTextDocument *doc, const std::string &bytes, std::size_t offset, bool roundUp)
{
    offset = std::min(offset, bytes.size());
    const QString prefix = BytesToEditorText(std::string_view(bytes).substr(0, offset));
    int pos = static_cast<int>(prefix.size());
    if (!roundUp && pos > 0) {
        QChar inDoc = doc->characterAt(pos - 1);
        if (inDoc == QChar::ParagraphSeparator) inDoc = QLatin1Char('\n');
        if (inDoc != prefix.at(pos - 1)) --pos;
    }
    return std::min(pos, doc->characterCount() - 1);
}

} // namespace

void TfrmMain::selectSourceBytes(std::size_t offset, std::size_t length)
{
    finishSourceLoad();
    const std::string bytes = sourceText();
    const QTextDocument *doc = Memo1->document();
    const int start = editorPosition(doc, bytes, offset, false);
    const int end = std::max(start, editorPosition(doc, bytes, offset + length, true));
    QTextCursor cursor(Memo1->document());
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    Memo1->setTextCursor(cursor);
    Memo1->setFocus();
}

std::size_t TfrmMain::sourceSelectionEndBytes() const
{
    const int end = Memo1->textCursor().selectionEnd();
    if (end <= 0) return 0;
    return EditorTextToBytes(documentText(Memo1->document()).left(end)).size();
}

// ---- URL list ------------------------------------------------------------------------------

func_token::StringList TfrmMain::urlListItems() const
{
    return m_listModel->items();
}

void TfrmMain::setUrlListItems(func_token::StringList items)
{
    m_listModel->setItems(std::move(items));
}

void TfrmMain::appendUrlListItems(func_token::StringList items)
{
    // A big append resets the model, which forgets the view's state. The rows already there keep
    // their numbers, so their selection, the focused row and the scroll position are put back.
    // Rows, not model indexes: the reset invalidates every index.
    QItemSelectionModel *selection = UrlList->selectionModel();
    std::vector<std::pair<int, int>> selected;
    for (const QItemSelectionRange &range : selection->selection())
        selected.emplace_back(range.top(), range.bottom());
    const int current = selection->currentIndex().row();
    const QModelIndex top = UrlList->indexAt(QPoint(0, 0));
    const int topRow = top.isValid() ? top.row() : -1;
    const int horizontal = UrlList->horizontalScrollBar()->value();

    if (!m_listModel->append(std::move(items))) return;

    QItemSelection restored;
    for (const auto &[first, last] : selected)
        restored.select(m_listModel->index(first), m_listModel->index(last));
    if (!restored.isEmpty()) selection->select(restored, QItemSelectionModel::Select);
    if (current >= 0) selection->setCurrentIndex(m_listModel->index(current), QItemSelectionModel::NoUpdate);
    if (topRow > 0) UrlList->scrollTo(m_listModel->index(topRow), QAbstractItemView::PositionAtTop);
    UrlList->horizontalScrollBar()->setValue(horizontal);
}

void TfrmMain::addUrlListSelection(const std::vector<std::size_t> &indices)
{
    QItemSelection selection;
    const std::size_t count = m_listModel->size();
    std::size_t i = 0;
    while (i < indices.size()) {
        // Contiguous indices become one range: selecting thousands of rows one by one is slow.
        std::size_t first = indices[i], last = first;
        while (i + 1 < indices.size() && indices[i + 1] == last + 1)
            last = indices[++i];
        ++i;
        if (first >= count) continue;
        last = std::min(last, count - 1);
        selection.select(m_listModel->index(static_cast<int>(first)), m_listModel->index(static_cast<int>(last)));
    }
    if (!selection.isEmpty()) UrlList->selectionModel()->select(selection, QItemSelectionModel::Select);
}

std::vector<int> TfrmMain::selectedUrlListRows() const
{
    std::vector<int> rows;
    const QItemSelection selection = UrlList->selectionModel()->selection();
    for (const QItemSelectionRange &range : selection)
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int TfrmMain::urlListWidth() const
{
    if (m_listWidthPending || !urlListShown()) return m_listWidth;
    return Splitter1->sizes().value(1, m_listWidth);
}

void TfrmMain::setUrlListWidth(int width)
{
    m_listWidth = std::max(0, width);
    m_listWidthPending = true;
    applyListWidth();
}

void TfrmMain::applyListWidth()
{
    // Before the first show the splitter has no real size yet; showEvent applies it then.
    if (!urlListShown() || !isVisible()) return;
    const int total = Splitter1->width() - Splitter1->handleWidth();
    if (total <= 0) return;
    const int list = std::clamp(m_listWidth, 0, std::max(0, total - kMinPane));
    Splitter1->setSizes({ total - list, list });
    m_listWidthPending = false;
}

void TfrmMain::onSplitterMoved()
{
    // A list dragged narrower than the smallest pane width collapses completely.
    const QList<int> sizes = Splitter1->sizes();
    if (sizes.size() == 2 && sizes[1] > 0 && sizes[1] < kMinPane) Splitter1->setSizes({ sizes[0] + sizes[1], 0 });
    m_listWidth = Splitter1->sizes().value(1);
}

// ---- View state ----------------------------------------------------------------------------

bool TfrmMain::urlListShown() const
{
    return m_menus->listView->isChecked();
}

void TfrmMain::setUrlListShown(bool shown)
{
    if (!shown && !m_listWidthPending) m_listWidth = urlListWidth();
    m_menus->listView->setChecked(shown);
    UrlList->setVisible(shown);
    if (shown) {
        m_listWidthPending = true;
        applyListWidth();
    }
}

bool TfrmMain::stayOnTop() const
{
    return m_menus->onTop->isChecked();
}

void TfrmMain::OnTopClick()
{
    const bool onTop = !m_menus->onTop->isChecked();
    m_menus->onTop->setChecked(onTop);
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    // Changing a window flag hides the window.
    if (visible) show();
}

void TfrmMain::setStayOnTop(bool onTop)
{
    if (onTop != stayOnTop()) OnTopClick();
}

void TfrmMain::mnuListViewClick()
{
    setUrlListShown(!urlListShown());
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_firstShow) {
        m_firstShow = false;
        Memo1->setFocus();
    }
    if (m_listWidthPending) applyListWidth();
}

// ---- Keys and drops ------------------------------------------------------------------------

namespace
{

bool isEditingShortcut(const QKeyEvent *key)
{
    return key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) || key->matches(QKeySequence::Cut)
        || key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Paste)
        || key->matches(QKeySequence::SelectAll);
}

bool isRightButtonEvent(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return static_cast<const QMouseEvent *>(event)->button() == Qt::RightButton;
    default:
        return false;
    }
}

} // namespace

bool TfrmMain::handleEditorKeys(QEvent *event)
{
    // The editing shortcuts belong to the window's commands (enabling rules, one-level undo),
    // whichever pane has the focus: the editor and the list must not take them first.
    if (event->type() == QEvent::ShortcutOverride) {
        if (isEditingShortcut(static_cast<QKeyEvent *>(event))) {
            event->ignore();
            return true;
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    // The other bindings of the same commands (Shift+Delete, Ctrl+Insert, Shift+Insert) have no
    // window shortcut and arrive here; redo is not a command of this editor.
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->matches(QKeySequence::Undo))
        runShortcut(m_menus->undo, &TfrmMain::applyRuleE);
    else if (key->matches(QKeySequence::Cut))
        runShortcut(m_menus->cut, &TfrmMain::applyRuleE);
    else if (key->matches(QKeySequence::Copy))
        runShortcut(m_menus->copy, &TfrmMain::applyRuleE);
    else if (key->matches(QKeySequence::Paste))
        runShortcut(m_menus->paste, &TfrmMain::applyRuleE);
    else if (key->matches(QKeySequence::SelectAll))
        runShortcut(m_menus->selectAll, &TfrmMain::applyRuleE);
    else if (!key->matches(QKeySequence::Redo))
        return false;
    return true;
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (m_load && (watched == Memo1 || watched == Memo1->viewport())) {
        // Typing, clicking or selecting in the editor needs the whole text in it.
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::InputMethod:
            finishSourceLoad();
            break;
        default:
            break;
        }
    }
    if (watched == Memo1) return handleEditorKeys(event) || QMainWindow::eventFilter(watched, event);
    if (watched == UrlList) {
        // Delete with any modifier deletes the selected items, Shift+Delete included.
        const bool deleteKey = (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)
            && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete;
        if (deleteKey) {
            if (event->type() == QEvent::KeyPress)
                lstDeleteClick();
            else
                event->accept();
            return true;
        }
        return handleEditorKeys(event) || QMainWindow::eventFilter(watched, event);
    }
    if (watched == UrlList->viewport() && isRightButtonEvent(event)) {
        // A right-click only opens the context menu: the selection and the focused item stay.
        return true;
    }
    if (watched == Memo1->viewport() || watched == UrlList->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
            if (acceptFileDrag(static_cast<QDropEvent *>(event), false)) return true;
            break;
        case QEvent::Drop:
            if (acceptFileDrag(static_cast<QDropEvent *>(event), true)) return true;
            break;
        case QEvent::MouseButtonDblClick:
            // The press before it has made the clicked row the focused item.
            if (watched == UrlList->viewport()) UrlListDblClick();
            break;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (!acceptFileDrag(event, false)) QMainWindow::dragEnterEvent(event);
}

void TfrmMain::dropEvent(QDropEvent *event)
{
    if (!acceptFileDrag(event, true)) QMainWindow::dropEvent(event);
}
