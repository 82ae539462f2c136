// The main window's commands on the buffers: editing, the URL list operations, extraction,
// the text tools, the character-code and URL conversions, the tables and the view commands.
#include "app/frm_main.h"

#include "app/url_list_model_qt.h"
#include "base/file_io.h"
#include "base/user_prompts_qt.h"
#include "encoding/editor_text_qt.h"
#include "encoding/error_text_ja.h"
#include "encoding/jconvert.h"
#include "encoding/url_codec.h"
#include "extract/frm_ext_html.h"
#include "extract/frm_extraction.h"
#include "settings/frm_ctrl.h"
#include "settings/frm_set.h"
#include "tables/cnv_table.h"
#include "tables/frm_cnv.h"
#include "text/func_lanzo.h"
#include "text/text_stream.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QListView>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTextDocument>
#include <cstdlib>
#include <optional>

// ---- Editing the source text ----------------------------------------------------------------

// "元に戻す": the editor keeps one level, so an undo right after an undo takes it back.
void TfrmMain::mnuUndoClick()
{
    finishSourceLoad();
    QTextDocument *doc = Memo1->document();
    m_inUndo = true;
    if (m_lastEditWasUndo && doc->isRedoAvailable()) {
        Memo1->redo();
        m_lastEditWasUndo = false;
    } else if (doc->isUndoAvailable()) {
        Memo1->undo();
        m_lastEditWasUndo = true;
    }
    m_inUndo = false;
}

// "削除": the selection goes, and with it every undo step.
void TfrmMain::mnuDeleteClick()
{
    finishSourceLoad();
    QTextCursor cursor = Memo1->textCursor();
    if (!cursor.hasSelection()) return;
    cursor.removeSelectedText();
    Memo1->setTextCursor(cursor);
    Memo1->document()->clearUndoRedoStacks();
    m_lastEditWasUndo = false;
}

// "すべてを削除": no question, no undo.
void TfrmMain::mnuDeleteAllClick()
{
    setSourceText({}, true);
}

void TfrmMain::mnuCutClick()
{
    finishSourceLoad();
    Memo1->cut();
}
void TfrmMain::mnuCopyClick()
{
    Memo1->copy();
}
void TfrmMain::mnuPasteClick()
{
    finishSourceLoad();
    Memo1->paste();
}
void TfrmMain::mnuSelectAllClick()
{
    finishSourceLoad();
    Memo1->selectAll();
}

// ---- URL list --------------------------------------------------------------------------------

void TfrmMain::lstSelectAllClick()
{
    if (m_listModel->size() > 0) UrlList->selectAll();
}

// "選択を反転"
void TfrmMain::lstInvertClick()
{
    const int count = static_cast<int>(m_listModel->size());
    if (count == 0) return;
    const QItemSelection all(m_listModel->index(0), m_listModel->index(count - 1));
    UrlList->selectionModel()->select(all, QItemSelectionModel::Toggle);
}

void TfrmMain::lstDeleteClick()
{
    m_listModel->removeRowList(selectedUrlListRows());
}

void TfrmMain::lstDeleteAllClick()
{
    setUrlListItems({});
}

void TfrmMain::sortList(std::vector<std::size_t> (*order)(const std::vector<std::string_view> &))
{
    const func_token::StringList &items = m_listModel->items();
    std::vector<std::size_t> picked;
    {
        const std::vector<std::string_view> views(items.begin(), items.end());
        picked = order(views);
    }
    m_listModel->reorder(picked);
}

// "重複を削除": sorted, then equal neighbours removed.
void TfrmMain::lstRemoveDuplicatesClick()
{
    if (m_listModel->size() < 2) return;
    sortList(text_stream::DedupOrder);
}

void TfrmMain::lstSortForwardClick()
{
    sortList([](const std::vector<std::string_view> &views) { return text_stream::SortOrder(views, false); });
}
void TfrmMain::lstSortBackwardClick()
{
    sortList([](const std::vector<std::string_view> &views) { return text_stream::SortOrder(views, true); });
}

void TfrmMain::copyListToClipboard(bool all)
{
    std::vector<bool> selected;
    if (!all) {
        selected.assign(m_listModel->size(), false);
        for (int row : selectedUrlListRows())
            selected[static_cast<std::size_t>(row)] = true;
    }
    const std::string text = func_lanzo::CopyItemsText(m_listModel->items(), selected);
    QGuiApplication::clipboard()->setText(BytesToEditorText(text));
}

void TfrmMain::lstCopyClick()
{
    copyListToClipboard(false);
}
void TfrmMain::lstCopyAllClick()
{
    copyListToClipboard(true);
}

// The control panel's click options, read at the moment of the double-click.
void TfrmMain::UrlListDblClick()
{
    const QModelIndex current = UrlList->currentIndex();
    if (!m_ctrl || !current.isValid()) return;
    const std::string url = m_listModel->item(static_cast<std::size_t>(current.row()));
    if (m_ctrl->toClip()) QGuiApplication::clipboard()->setText(LineToQString(url));
    if (m_ctrl->toUrl()) m_ctrl->setUrlText(url);
    // An item starting with "-" would reach the browser as an option, not as an address.
    if (m_ctrl->toExe() && !url.starts_with('-')) {
        const char *pathList = std::getenv("PATH");
        const std::string program = file_io::FindProgram(m_ctrl->exePath(), pathList ? pathList : "");
        // The URL is one argument of its own: no shell ever sees it.
        if (!program.empty() && file_io::FileExists(program))
            QProcess::startDetached(QFile::decodeName(QByteArray::fromStdString(program)), { LineToQString(url) });
    }
}

// ---- Data copy -------------------------------------------------------------------------------

// "ソース→ＵＲＬリスト"
void TfrmMain::mnuSourceToListClick()
{
    setUrlListItems(func_token::SplitLines(sourceText()));
}

// "ソース←ＵＲＬリスト"
void TfrmMain::mnuListToSourceClick()
{
    setSourceText(func_token::JoinCrLf(m_listModel->items()), true);
}

// "ソースとＵＲＬリストをクリア"
void TfrmMain::mnuClearBothClick()
{
    setUrlListItems({});
    setSourceText({}, true);
}

// ---- Extraction ------------------------------------------------------------------------------

void TfrmMain::extractFrom(std::string input)
{
    if (!m_extraction || !m_set) return;
    extraction::ExtractionResult result = m_extraction->run(
        std::move(input), m_set->conditions(), cnv_table::LoadTables(m_set->tableNames(), m_paths.tableDir));
    if (result.stopped) return;
    appendUrlListItems(std::move(result.urls));
    // The expansion runs also when nothing was kept: it covers the whole list.
    if (m_set->autoExpand()) mnuSequenceClick();
}

void TfrmMain::N7Click()
{
    extractFrom(sourceText());
}

void TfrmMain::N8Click()
{
    if (hasSourceSelection()) extractFrom(selectedSourceText());
}

void TfrmMain::extractLinksFrom(std::string input)
{
    if (!m_extHtml) return;
    html_links::LinksResult result = m_extHtml->run(std::move(input));
    if (!result.stopped) appendUrlListItems(std::move(result.links));
}

void TfrmMain::HTML1Click()
{
    extractLinksFrom(sourceText());
}

void TfrmMain::N92Click()
{
    if (hasSourceSelection()) extractLinksFrom(selectedSourceText());
}

// "[00-99]連番展開"
void TfrmMain::mnuSequenceClick()
{
    if (m_listModel->size() == 0) return;
    error::Result<func_token::StringList> expanded = func_lanzo::ExpandList(m_listModel->items());
    if (!expanded) {
        m_prompts->showError(this, QString::fromStdString(error_text_ja::Text(expanded.error())));
        return;
    }
    setUrlListItems(std::move(*expanded));
}

// "ＵＲＬ補正": every item made absolute against the control panel's URL box.
void TfrmMain::UrlCorrectClick()
{
    if (!m_ctrl) return;
    const std::string base = m_ctrl->urlText();
    if (base.empty()) return;
    func_token::StringList items = m_listModel->items();
    const error::Result<void> corrected = func_lanzo::CorrectList(base, items);
    m_listModel->rewriteItems(std::move(items));
    if (!corrected) m_prompts->showError(this, QString::fromStdString(error_text_ja::Text(corrected.error())));
}

// ---- Source text tools -----------------------------------------------------------------------

void TfrmMain::rewriteSource(std::string (*tool)(std::string_view))
{
    setSourceText(tool(sourceText()), true);
}

void TfrmMain::mnuCutOutTagsClick()
{
    rewriteSource(func_lanzo::CutOutTagsText);
}
void TfrmMain::mnuRemoveTagsClick()
{
    rewriteSource(func_lanzo::RemoveTagsText);
}
void TfrmMain::mnuTrimLinesClick()
{
    rewriteSource(func_lanzo::TrimLinesText);
}
void TfrmMain::mnuDeleteEmptyClick()
{
    rewriteSource(func_lanzo::DeleteEmptyLinesText);
}
void TfrmMain::mnuCleanClick()
{
    rewriteSource(func_lanzo::CleanText);
}

// ---- Conversions -----------------------------------------------------------------------------

namespace
{

using Conversion = TfrmMain::Conversion;

struct Converted {
    std::string text;
    bool write = true; // false: the command leaves the text as it was
    std::optional<error::Error> error; // a decoding error to show
};

Converted fromDecode(error::Result<void> (*decode)(std::string_view, std::string &), std::string_view input)
{
    Converted result;
    const error::Result<void> decoded = decode(input, result.text);
    // After a decoding error the text is what the buffer holds after the failed command: the
    // lines decoded before the failing one stay decoded.
    result.write = decoded || result.text != input;
    if (!decoded) result.error = decoded.error();
    return result;
}

Converted convert(std::string_view text, Conversion conversion, bool selection)
{
    switch (conversion) {
    case Conversion::EucToSjis:
        return { jconvert::EucToSjis(text), true, {} };
    case Conversion::Utf8ToSjis: {
        // Malformed UTF-8 gives nothing, and the text stays as it was.
        std::string sjis = jconvert::Utf8ToSjis(text);
        const bool write = !sjis.empty();
        return { std::move(sjis), write, {} };
    }
    case Conversion::SjisToEuc:
        return { jconvert::SjisToEuc(text), true, {} };
    case Conversion::SjisToUtf8:
        return { jconvert::SjisToUtf8(text), true, {} };
    case Conversion::UrlEncodeLines:
        return { selection ? url_codec::EncodeSelectionLines(text) : url_codec::EncodeWholeLines(text), true, {} };
    case Conversion::UrlEncode:
        return { url_codec::EncodeWhole(text), true, {} };
    case Conversion::UrlDecodeLines:
        return fromDecode(selection ? url_codec::DecodeSelectionLines : url_codec::DecodeWholeLines, text);
    case Conversion::UrlDecode:
        break;
    }
    return fromDecode(url_codec::DecodeWhole, text);
}

} // namespace

void TfrmMain::convertWhole(Conversion conversion)
{
    const Converted result = convert(sourceText(), conversion, false);
    if (result.write) setSourceText(result.text, true);
    if (result.error) m_prompts->showError(this, QString::fromStdString(error_text_ja::Text(*result.error)));
}

void TfrmMain::convertSelection(Conversion conversion)
{
    if (!hasSourceSelection()) return;
    const Converted result = convert(selectedSourceText(), conversion, true);
    if (result.write) replaceSourceSelection(result.text);
    if (result.error) m_prompts->showError(this, QString::fromStdString(error_text_ja::Text(*result.error)));
}

// ---- Conversion tables -----------------------------------------------------------------------

// The result goes back where the input came from: the selection, else the whole text. It can
// not be undone. A stopped or failed run gives back its input, so nothing needs writing.
void TfrmMain::writeBackTable(bool completed, const std::string &result)
{
    if (!completed) return;
    if (hasSourceSelection()) {
        replaceSourceSelection(result);
        Memo1->document()->clearUndoRedoStacks();
    } else {
        setSourceText(result, true);
    }
}

void TfrmMain::cvpMenuClick(const std::string &tableName)
{
    if (!m_cnv) return;
    const TfrmCnv::Outcome outcome = m_cnv->run(sourceText(), tableName, m_paths.tableDir);
    writeBackTable(outcome.completed, outcome.result);
}

void TfrmMain::cvpSelMenuClick(const std::string &tableName)
{
    if (!m_cnv || !hasSourceSelection()) return;
    const TfrmCnv::Outcome outcome = m_cnv->run(selectedSourceText(), tableName, m_paths.tableDir);
    writeBackTable(outcome.completed, outcome.result);
}

// ---- View ------------------------------------------------------------------------------------

void TfrmMain::mnuCtrlClick()
{
    if (!m_ctrl) return;
    m_ctrl->show();
    m_ctrl->raise();
    m_ctrl->activateWindow();
}

void TfrmMain::mnuSetClick()
{
    if (!m_set) return;
    m_set->show();
    m_set->raise();
    m_set->activateWindow();
}
