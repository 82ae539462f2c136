#pragma once
// The main window: the source text (Memo1) and the URL list (UrlList) side by side, the
// menus, and the commands on both buffers. It owns the buffers, the modified flag and the
// current file name; the panels reach the buffers through MainBuffers.
#include "base/file_io.h"
#include "settings/app_paths.h"
#include "settings/main_buffers.h"
#include "settings/window_settings.h"
#include "text/func_token.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QListView;
class UrlListModel;
class UserPrompts;
class TfrmCtrl;
class TfrmSet;
class TfrmCnv;
class TfrmExtraction;
class TfrmExtHtml;

class TfrmMain : public QMainWindow, public MainBuffers
{
    Q_OBJECT
public:
    TfrmMain(const app_paths::AppPaths &paths, UserPrompts *prompts, QWidget *parent = nullptr);
    ~TfrmMain() override;

    // Start-up: the stored place, the buffers from their files, the conversion tables.
    void FormCreate(const window_settings::MainPart &stored);
    // Start-up hands over the other windows once they exist.
    void setWindows(TfrmCtrl *ctrl, TfrmCnv *cnv, TfrmExtraction *extraction, TfrmExtHtml *extHtml, TfrmSet *set);

    // ---- Source text (bytes, CR LF line breaks) ----
    std::string sourceText() const override;
    // Replaces the whole content: line breaks made CR LF, the text ends at the first NUL.
    // setModified: whether the command that wrote it sets the modified flag.
    void setSourceText(std::string_view bytes, bool setModified) override;
    bool hasSourceSelection() const;
    std::string selectedSourceText() const;
    // Replaces the selection (or inserts at the caret) and sets the modified flag.
    void replaceSourceSelection(std::string_view bytes);
    bool isModified() const;
    void setModified(bool modified) override;
    // Selects length bytes from the byte offset (mapped onto the editor's characters) and
    // focuses the editor; the end of the current selection (or the caret) as a byte offset.
    void selectSourceBytes(std::size_t offset, std::size_t length) override;
    std::size_t sourceSelectionEndBytes() const override;
    QString currentFileName() const { return m_fileName; }
    // A file named on the command line (the desktop's "open with") or handed over by a later
    // start: opened like a dropped file once the event loop runs and no modal window is open.
    void openStartupFile(const QString &path);

    // ---- URL list (byte strings) ----
    func_token::StringList urlListItems() const override;
    void setUrlListItems(func_token::StringList items) override; // selection cleared
    // Appended at the end; the selection, the focused row and the scroll position stay.
    void appendUrlListItems(func_token::StringList items);
    void addUrlListSelection(const std::vector<std::size_t> &indices) override; // no scroll, no focus change
    int urlListWidth() const;
    void setUrlListWidth(int width);
    // Selected rows of the URL list, ascending.
    std::vector<int> selectedUrlListRows() const;

    // ---- View state ----
    bool urlListShown() const; // tick of "ＵＲＬリスト"
    void setUrlListShown(bool shown);
    bool stayOnTop() const; // tick of "常に手前に表示"

    // Lines are shown unwrapped, except while the text holds a line longer than this many
    // characters (about 100 KB): then the editor wraps at its width. An unwrapped line is laid out
    // whole for every keystroke on it: about 0.1 s at 100,000 characters and over a second at a
    // million; wrapped, the same lines cost a third to a half of that.
    static constexpr int kLongLineChars = 100000;
    // A text of at least this many bytes goes into the editor in the background: the start of
    // it shows at once (read-only), the whole of it once laid in on a worker thread (about 4 us
    // per line). Commands on the whole text work on the bytes meanwhile; the first key press or
    // click in the editor, and every command that edits it or selects in it, wait for the rest.
    static constexpr std::size_t kBackgroundLoadBytes = std::size_t(4) << 20;
    static constexpr std::size_t kPreviewBytes = std::size_t(256) << 10;
    // Whether the editor still shows only the start of the text (a test hook).
    bool sourceLoadPending() const { return m_load != nullptr; }
    // Waits for a background load and puts the whole text in the editor.
    void finishSourceLoad();
    // How often the whole editor text has been re-encoded into bytes (a test hook: an unedited
    // text is never re-encoded).
    int sourceEncodeCount() const { return m_sourceEncodeCount; }

    // Whether the editor's undo command would do something (one level: after an undo, the
    // next undo takes it back).
    bool canUndoSource() const;
    // Files the last exit sequence wrote or tried to write, in order (UTF-8 paths).
    const std::vector<std::string> &exitWriteLog() const { return m_exitWriteLog; }
    // The table names found at start-up, in menu order (Shift_JIS bytes).
    const func_token::StringList &tableNames() const { return m_tableNames; }

signals:
    // The close went through: the exit sequence has run and the program should end.
    void exitDone();

public slots:
    void N7Click(); // "全体から抽出": extract from the whole text
    void N8Click(); // "選択範囲から抽出": extract from the selection
    void HTML1Click(); // "全体からリンクを抽出"
    void N92Click(); // "選択範囲からリンクを抽出"
    void mnuSequenceClick(); // "[00-99]連番展開"
    void UrlCorrectClick(); // "ＵＲＬ補正"
    void OnTopClick(); // "常に手前に表示": toggles the tick and the window flag
    void setStayOnTop(bool onTop); // the same command when the tick is not yet onTop

    // "ファイル(&F)"
    void mnuNewClick(); // "新規作成"
    void mnuOpenWorkClick(); // "作業用ファイルを開く(&W)"
    void mnuOpenClick(); // "ファイルを開く(&O)"
    void mnuSaveClick(); // "上書き保存(&S)"
    void mnuSaveAsClick(); // "名前を付けて保存(&A)"
    void mnuLinkPageClick(); // "リンク集作成(&L)"
    // "編集（ソース）(&E)"
    void mnuUndoClick();
    void mnuDeleteClick(); // delete the selection; not undoable
    void mnuDeleteAllClick(); // empty the source text
    void mnuCutClick();
    void mnuCopyClick();
    void mnuPasteClick();
    void mnuSelectAllClick();
    // "編集（ＵＲＬリスト）(&L)" and the list's context menu
    void lstSelectAllClick();
    void lstInvertClick();
    void lstDeleteClick();
    void lstDeleteAllClick();
    void lstRemoveDuplicatesClick();
    void lstCopyClick();
    void lstCopyAllClick();
    void lstSortForwardClick();
    void lstSortBackwardClick();
    // "ツール(&T)"
    void mnuSourceToListClick(); // "ソース→ＵＲＬリスト"
    void mnuListToSourceClick(); // "ソース←ＵＲＬリスト"
    void mnuCutOutTagsClick(); // "ＨＴＭＬタグ切り出し"
    void mnuRemoveTagsClick(); // "ＨＴＭＬタグの除去"
    void mnuTrimLinesClick(); // "前後の空白除去"
    void mnuDeleteEmptyClick(); // "空行削除"
    void mnuCleanClick(); // "タグ＋空白＋空行除去"
    void mnuClearBothClick(); // "ソースとＵＲＬリストをクリア"
    // "表示(&V)"
    void mnuCtrlClick(); // "コントロールパネル"
    void mnuSetClick(); // "環境設定"
    void mnuListViewClick(); // "ＵＲＬリスト": toggles the list pane
    // A conversion table on the whole text / on the selection.
    void cvpMenuClick(const std::string &tableName);
    void cvpSelMenuClick(const std::string &tableName);
    // Double-click on the URL list: the control panel's click options.
    void UrlListDblClick();

    // The enabling rules of the menus, run when a menu opens or a shortcut is pressed.
    void applyRuleF();
    void applyRuleE();
    void applyRuleL();
    void applyRuleD();
    void applyRuleP();

protected:
    void closeEvent(class QCloseEvent *event) override;
    void showEvent(class QShowEvent *event) override;
    void dragEnterEvent(class QDragEnterEvent *event) override;
    void dropEvent(class QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    // Controls under the design's names (tests reach them too).
    QPlainTextEdit *Memo1 = nullptr;
    QSplitter *Splitter1 = nullptr;
    QListView *UrlList = nullptr;
    QWidget *pnl_main = nullptr;
    QMenu *PopupMenu1 = nullptr; // the URL list's context menu
    QMenu *PopupMenu2 = nullptr; // the editor's context menu
    QMenu *N69 = nullptr, *N70 = nullptr, *N72 = nullptr, *N73 = nullptr; // conversion submenus

public:
    // Character-code and URL conversions of the "全体を変換" / "選択範囲を変換" submenus.
    enum class Conversion {
        EucToSjis,
        Utf8ToSjis,
        SjisToEuc,
        SjisToUtf8,
        UrlEncodeLines,
        UrlEncode,
        UrlDecodeLines,
        UrlDecode
    };

private:
    struct MenuSet; // the actions the enabling rules look at

    // Construction (frm_main.cpp) and menus (frm_main_menus.cpp).
    void buildLayout();
    void buildMenus();
    QMenu *buildConvertMenu(QMenu *parent, const QString &caption, bool selection, bool context);
    void addTableItems(const std::string &tableName);
    void updateTitle();
    void onDocumentChanged(int from, int removed, int added);
    void followLongLines(int from, int removed, int added);
    void setLongLineWrap(bool wrap);
    void startSourceLoad();
    void cancelSourceLoad();
    void installLoadedDocument(unsigned serial);
    void watchDocument();
    void onSplitterMoved();
    void applyListWidth();
    void runShortcut(QAction *item, void (TfrmMain::*rule)());
    bool handleEditorKeys(QEvent *event);

    // Files (frm_main_files.cpp).
    bool overwriteQuestion();
    bool writeNamedFile(const QString &path);
    bool loadNamedFile(const QString &path);
    void openDroppedFile(const QString &path);
    bool acceptFileDrag(QDropEvent *event, bool drop);
    bool FormCloseQuery();
    bool FormClose();
    void reportFileError(const char *what, const error::Error &error);

    // Commands (frm_main_commands.cpp).
    void extractFrom(std::string input);
    void extractLinksFrom(std::string input);
    void convertWhole(Conversion conversion);
    void convertSelection(Conversion conversion);
    void rewriteSource(std::string (*tool)(std::string_view));
    void copyListToClipboard(bool all);
    // Puts the list in the order of the given item indices (a sort or a removal of duplicates
    // worked out over views of the items, without copying them first).
    void sortList(std::vector<std::size_t> (*order)(const std::vector<std::string_view> &));
    void writeBackTable(bool completed, const std::string &result);

    app_paths::AppPaths m_paths;
    UserPrompts *m_prompts;
    QString m_fileName;

    TfrmCtrl *m_ctrl = nullptr;
    TfrmCnv *m_cnv = nullptr;
    TfrmExtraction *m_extraction = nullptr;
    TfrmExtHtml *m_extHtml = nullptr;
    TfrmSet *m_set = nullptr;

    UrlListModel *m_listModel = nullptr;
    std::unique_ptr<MenuSet> m_menus;
    func_token::StringList m_tableNames;

    // The source text's bytes are the truth; the editor shows them. The cache is re-encoded
    // from the editor only after the document changed.
    mutable std::string m_sourceBytes;
    // The background load of a big text (frm_main.cpp); it reads m_sourceBytes, which nothing
    // changes while it runs (setSourceText cancels it first, and the editor cannot be edited).
    struct SourceLoad;
    std::unique_ptr<SourceLoad> m_load;
    unsigned m_loadSerial = 0;
    mutable bool m_bytesStale = false;
    mutable int m_sourceEncodeCount = 0;
    bool m_wrapWanted = false; // the text holds a line longer than kLongLineChars
    bool m_wrapQueued = false;
    bool m_settingText = false;
    bool m_modified = false;
    // A buffer whose file could not be read is not written back at exit until something has been
    // put into it: the file stays as it was instead of being replaced by an empty buffer.
    bool m_keepWorkFile = false;
    bool m_keepListFile = false;
    bool m_inUndo = false;
    bool m_lastEditWasUndo = false;

    int m_listWidth = 200;
    bool m_listWidthPending = true;
    bool m_firstShow = true;

    // Dialog memory: the open dialog keeps its file and filter, the save dialog (shared with
    // the link page) its file.
    QString m_openPath;
    int m_openFilterIndex = 0;
    QString m_savePath;
    int m_saveFilterIndex = 0;

    std::vector<std::string> m_exitWriteLog;
};
