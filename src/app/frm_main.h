#pragma once
// The main window: the source text (Memo1) and the URL list (UrlList) side by side, the
// menus, and the commands on both buffers. It owns the buffers, the modified flag and the
// current file name; the other windows reach the buffers through its public functions.
#include "settings/app_paths.h"
#include "text/func_token.h"

#include <QMainWindow>
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

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    TfrmMain(const settings::AppPaths &paths, UserPrompts *prompts, QWidget *parent = nullptr);
    ~TfrmMain() override;

    // Start-up hands over the other windows once they exist.
    void setWindows(TfrmCtrl *ctrl, TfrmCnv *cnv, TfrmExtraction *extraction, TfrmExtHtml *extHtml, TfrmSet *set);
    const settings::AppPaths &paths() const { return m_paths; }
    UserPrompts *prompts() const { return m_prompts; }

    // ---- Source text (bytes, CR LF line breaks) ----
    std::string sourceText() const;
    // Replaces the whole content: line breaks made CR LF, the text ends at the first NUL.
    // setModified: whether the command that wrote it sets the modified flag.
    void setSourceText(std::string_view bytes, bool setModified);
    bool hasSourceSelection() const;
    std::string selectedSourceText() const;
    // Replaces the selection (or inserts at the caret) and sets the modified flag.
    void replaceSourceSelection(std::string_view bytes);
    bool isModified() const;
    void setModified(bool modified);
    // Selects length bytes from the byte offset (mapped onto the editor's characters) and
    // focuses the editor; the end of the current selection (or the caret) as a byte offset.
    void selectSourceBytes(std::size_t offset, std::size_t length);
    std::size_t sourceSelectionEndBytes() const;
    QString currentFileName() const { return m_fileName; }

    // ---- URL list (byte strings) ----
    func_token::StringList urlListItems() const;
    void setUrlListItems(func_token::StringList items); // selection cleared
    void appendUrlListItems(const func_token::StringList &items);
    void addUrlListSelection(const std::vector<std::size_t> &indices); // no scroll, no focus change
    int urlListWidth() const;
    void setUrlListWidth(int width);

    // ---- View state ----
    bool urlListShown() const;       // tick of "ＵＲＬリスト"
    void setUrlListShown(bool shown);
    bool stayOnTop() const;          // tick of "常に手前に表示"

public slots:
    void N7Click();          // "全体から抽出": extract from the whole text
    void N8Click();          // "選択範囲から抽出": extract from the selection
    void HTML1Click();       // "全体からリンクを抽出"
    void N92Click();         // "選択範囲からリンクを抽出"
    void mnuSequenceClick(); // "[00-99]連番展開"
    void UrlCorrectClick();  // "ＵＲＬ補正"
    void OnTopClick();       // "常に手前に表示": toggles the tick and the window flag

protected:
    void closeEvent(class QCloseEvent *event) override;

    // Controls under the design's names (tests reach them too).
    QPlainTextEdit *Memo1 = nullptr;
    QSplitter *Splitter1 = nullptr;
    QListView *UrlList = nullptr;

private:
    settings::AppPaths m_paths;
    UserPrompts *m_prompts;
    QString m_fileName;
};
