// The main window's file commands: the work file and named files, the overwrite question,
// dropped files, the link page, and the close question with the exit sequence.
#include "app/frm_main.h"

#include "app/url_list_model_qt.h"
#include "base/file_io.h"
#include "base/user_prompts_qt.h"
#include "encoding/error_text_ja.h"
#include "settings/frm_ctrl.h"
#include "settings/frm_set.h"
#include "settings/func_save.h"
#include "settings/ini_file.h"
#include "settings/settings_file_qt.h"
#include "text/func_lanzo.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace
{

const QString kOpenFilter
    = QStringLiteral("テキストファイル(*.txt)|*.txt|HTMLファイル(*.htm,*.html)|*.htm;*.html|すべてのファイル(*.*)|*.*");
const QString kSaveFilter
    = QStringLiteral("テキストファイル(*.txt)|*.txt|htmlファイル(*.htm,*.html)|*.htm;*.html|すべてのファイル(*.*)|*.*");
const QString kLinkFilter = QStringLiteral("htmlﾌｧｲﾙ(*.html)|*.html|すべてのﾌｧｲﾙ(*.*)|*.*");
const QString kSaveCaption = QStringLiteral("ファイルの保存");

std::string toPath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

// Where a dialog opens when it has nothing to remember yet.
QString startPath(const QString &remembered, const QString &current, const QString &name = QString())
{
    if (!remembered.isEmpty())
        return name.isEmpty() ? remembered : QFileInfo(remembered).absolutePath() + QLatin1Char('/') + name;
    const QString dir = current.isEmpty() ? QDir::homePath() : QFileInfo(current).absolutePath();
    return name.isEmpty() ? dir : dir + QLatin1Char('/') + name;
}

} // namespace

void TfrmMain::reportFileError(const char *what, const error::Error &error)
{
    const std::string text
        = qstrcmp(what, "read") == 0 ? error_text_ja::ReadFailed(error) : error_text_ja::WriteFailed(error);
    m_prompts->showError(this, QString::fromStdString(text));
}

bool TfrmMain::writeNamedFile(const QString &path)
{
    const error::Result<void> written = file_io::WriteFileAtomic(toPath(path), sourceText());
    if (written) return true;
    reportFileError("write", written.error());
    return false;
}

bool TfrmMain::loadNamedFile(const QString &path)
{
    const error::Result<std::string> read = file_io::ReadWholeFile(toPath(path));
    if (!read) {
        reportFileError("read", read.error());
        return false;
    }
    // Named first: a named file's text is not put into the work file.
    m_fileName = QFileInfo(path).absoluteFilePath();
    setSourceText(*read, false);
    m_modified = false;
    updateTitle();
    return true;
}

bool TfrmMain::overwriteQuestion()
{
    if (!m_modified || m_fileName.isEmpty()) return true;
    switch (m_prompts->askYesNoCancel(this, QStringLiteral("ファイルを上書き保存しますか？"), kSaveCaption)) {
    case UserPrompts::Answer::Yes:
        // A failed write abandons the command: the text is not saved anywhere yet.
        return writeNamedFile(m_fileName);
    case UserPrompts::Answer::No:
        return true;
    case UserPrompts::Answer::Cancel:
        break;
    }
    return false;
}

// "新規作成": back to the work-file state with an empty source text.
void TfrmMain::mnuNewClick()
{
    if (m_fileName.isEmpty()) {
        if (m_prompts->askYesNoCancel(
                this, QStringLiteral("現在の作業用ファイルをクリアしてもよろしいですか？"), kSaveCaption)
            != UserPrompts::Answer::Yes)
            return;
    } else if (!overwriteQuestion()) {
        return;
    }
    m_fileName.clear();
    updateTitle();
    setSourceText({}, false);
    m_modified = false;
}

// "作業用ファイルを開く(&W)": the source text read again from the work file.
void TfrmMain::mnuOpenWorkClick()
{
    if (!overwriteQuestion()) return;
    m_fileName.clear();
    updateTitle();
    const error::Result<std::string> read = file_io::ReadWholeFile(m_paths.workFile);
    if (!read) {
        // The text on screen is not the work file's: the exit must not put it there unasked.
        m_keepWorkFile = read.error().kind != error::Kind::NotFound;
        reportFileError("read", read.error());
        return;
    }
    setSourceText(*read, false);
    m_modified = false;
}

// "ファイルを開く(&O)"
void TfrmMain::mnuOpenClick()
{
    if (!overwriteQuestion()) return;
    int filterIndex = m_openFilterIndex;
    const QString path = m_prompts->getOpenFileName(this, kOpenFilter, filterIndex, startPath(m_openPath, m_fileName));
    if (path.isEmpty()) return;
    m_openPath = path;
    m_openFilterIndex = filterIndex;
    if (!file_io::FileExists(toPath(path))) return;
    loadNamedFile(path);
}

// "上書き保存(&S)"
void TfrmMain::mnuSaveClick()
{
    if (m_fileName.isEmpty()) return;
    if (writeNamedFile(m_fileName)) m_modified = false;
}

// "名前を付けて保存(&A)"
void TfrmMain::mnuSaveAsClick()
{
    int filterIndex = m_saveFilterIndex;
    const QString path = m_prompts->getSaveFileName(this, kSaveFilter, filterIndex, startPath(m_savePath, m_fileName));
    if (path.isEmpty()) return;
    m_savePath = path;
    m_saveFilterIndex = filterIndex;
    if (!writeNamedFile(path)) return;
    m_fileName = QFileInfo(path).absoluteFilePath();
    updateTitle();
    m_modified = false;
}

// "リンク集作成(&L)": the URL list as an HTML page of links.
void TfrmMain::mnuLinkPageClick()
{
    if (m_listModel->size() == 0) return;
    int filterIndex = 0;
    const QString path = m_prompts->getSaveFileName(
        this, kLinkFilter, filterIndex, startPath(m_savePath, m_fileName, QStringLiteral("link.html")));
    if (path.isEmpty()) return;
    m_savePath = path;
    if (const error::Result<void> written
        = file_io::WriteFileAtomic(toPath(path), func_lanzo::MakeLinkPage(m_listModel->items()));
        !written)
        reportFileError("write", written.error());
}

// ---- Dropped files --------------------------------------------------------------------------

bool TfrmMain::acceptFileDrag(QDropEvent *event, bool drop)
{
    const QMimeData *mime = event->mimeData();
    if (!mime || !mime->hasUrls() || mime->urls().isEmpty()) return false;
    event->acceptProposedAction();
    if (drop) {
        // Only the last file counts. The drop is released before any question is asked.
        const QString path = mime->urls().constLast().toLocalFile();
        QMetaObject::invokeMethod(
            this, [this, path] { openDroppedFile(path); }, Qt::QueuedConnection);
    }
    return true;
}

void TfrmMain::openStartupFile(const QString &path)
{
    QMetaObject::invokeMethod(
        this,
        [this, path] {
            // A file handed over by a later start waits while a modal window is open (a job's
            // progress dialog, a question): the buffers must not change under it.
            if (QApplication::activeModalWidget())
                QTimer::singleShot(200, this, [this, path] { openStartupFile(path); });
            else
                openDroppedFile(path);
        },
        Qt::QueuedConnection);
}

void TfrmMain::openDroppedFile(const QString &path)
{
    if (!overwriteQuestion()) return;
    if (path.isEmpty() || !file_io::FileExists(toPath(path))) return;
    loadNamedFile(path);
}

// ---- Close -----------------------------------------------------------------------------------

bool TfrmMain::FormCloseQuery()
{
    // In the work-file state the exit sequence keeps the text; a named file may need saving.
    return overwriteQuestion();
}

bool TfrmMain::FormClose()
{
    m_exitWriteLog.clear();
    std::vector<error::Error> failures;
    // Every file is written even when an earlier one failed, so one bad file loses nothing else.
    const auto write = [&](const std::string &path, const std::string &data) {
        m_exitWriteLog.push_back(path);
        if (error::Result<void> written = file_io::WriteFileAtomic(path, data); !written)
            failures.push_back(std::move(written).error());
    };
    file_io::MakeDirectory(m_paths.configDir);

    if (m_ctrl) write(m_paths.setIni, func_save::WriteSetIni(m_ctrl->state()));
    if (m_set) write(m_paths.set2Ini, func_save::WriteSet2Ini(m_set->state()));

    ini_file::IniFile ini;
    if (const error::Result<std::string> r = ReadSettingsFileTelling(m_prompts, this, m_paths.windowFile))
        ini.parse(*r);
    ini.WriteInteger("WINDOW", "WIDTH", width());
    ini.WriteInteger("WINDOW", "HEIGHT", height());
    ini.WriteInteger("WINDOW", "TOP", y());
    ini.WriteInteger("WINDOW", "LEFT", x());
    if (m_ctrl) {
        m_ctrl->settlePlace();
        ini.WriteInteger("WINDOW2", "TOP", m_ctrl->y());
        ini.WriteInteger("WINDOW2", "LEFT", m_ctrl->x());
        m_ctrl->writeInternetOptions(ini);
    }
    ini.WriteInteger("WINDOW", "LIST", urlListWidth());
    ini.WriteString("SYSTEM", "PREFIX", "");
    ini.WriteString("SYSTEM", "SUFFIX", "");
    ini.WriteString("SYSTEM", "MIDDLE", "");
    ini.WriteBool("WINDOW", "MENU2", urlListShown());
    ini.WriteBool("WINDOW", "CTRL", m_ctrl && m_ctrl->isVisible());
    ini.WriteBool("WINDOW", "ONTOP", stayOnTop());
    write(m_paths.windowFile, ini.serialize());

    if (m_fileName.isEmpty() && !m_keepWorkFile) write(m_paths.workFile, sourceText());
    if (!m_keepListFile) write(m_paths.listFile, func_token::JoinCrLf(m_listModel->items()));

    if (failures.empty()) return true;
    return m_prompts->askCloseAnyway(this, QString::fromStdString(error_text_ja::ExitWriteFailed(failures)));
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (!FormCloseQuery() || !FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
    emit exitDone();
}
