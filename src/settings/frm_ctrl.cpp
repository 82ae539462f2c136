#include "settings/frm_ctrl.h"

#include "base/file_io.h"
#include "base/screens_qt.h"
#include "base/user_prompts_qt.h"
#include "encoding/editor_text_qt.h"
#include "encoding/error_text_ja.h"
#include "encoding/page_convert.h"
#include "settings/download_guard_qt.h"
#include "settings/main_buffers.h"
#include "settings/settings_file.h"
#include "settings/settings_file_qt.h"
#include "text/func_lanzo.h"
#include "text/func_token.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>
#include <limits>

namespace
{

constexpr const char *kInternetSection = "INTERNET";
// A line edit cuts its text at 32767 characters unless told otherwise.
constexpr int kNoLengthLimit = std::numeric_limits<int>::max();

using TextEncoder = std::string (*)(const QString &);

QComboBox *makeHistoryCombo(QWidget *parent, const char *name)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    // The history is kept by AddComboHistory, never by the box itself.
    box->setInsertPolicy(QComboBox::NoInsert);
    // The text is exactly what was typed or picked: no completion from the history.
    box->setCompleter(nullptr);
    box->lineEdit()->setMaxLength(kNoLengthLimit);
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return box;
}

QPushButton *makeButton(QWidget *parent, const QString &caption, const char *name)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

void tightLayout(QLayout *layout)
{
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(4);
}

// A URL box encodes with QStringToUrl, the others with QStringToLine.
func_save::ComboState comboState(const QComboBox *box, TextEncoder encode = QStringToLine)
{
    func_save::ComboState state;
    state.text = encode(box->currentText());
    state.items.reserve(box->count());
    for (int i = 0; i < box->count(); ++i)
        state.items.push_back(encode(box->itemText(i)));
    return state;
}

void setComboState(QComboBox *box, const func_save::ComboState &state)
{
    // Filling an editable box makes its first item current and copies it into the text,
    // so the text is put back afterwards.
    const QSignalBlocker blocker(box);
    box->clear();
    for (const std::string &item : state.items)
        box->addItem(LineToQString(item));
    box->setCurrentIndex(-1);
    box->setEditText(LineToQString(state.text));
}

QString charsetSourceText(page_charset::Source source)
{
    switch (source) {
    case page_charset::Source::Header:
        return QStringLiteral("Content-Type ヘッダー");
    case page_charset::Source::Meta:
        return QStringLiteral("meta 宣言");
    case page_charset::Source::ByteOrderMark:
        return QStringLiteral("BOM");
    case page_charset::Source::Detected:
        return QStringLiteral("自動判別");
    case page_charset::Source::Assumed:
        break;
    }
    return QStringLiteral("推定");
}

void addHistory(QComboBox *box, TextEncoder encode = QStringToLine)
{
    func_save::ComboState state = comboState(box, encode);
    func_lanzo::AddComboHistory(state.items, state.text);
    setComboState(box, state);
}

} // namespace

TfrmCtrl::TfrmCtrl(
    MainBuffers &buffers, QWidget *mainWindow, const app_paths::AppPaths &paths, UserPrompts *prompts, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
    , m_buffers(buffers)
    , m_mainWindow(mainWindow)
    , m_paths(paths)
    , m_prompts(prompts)
    , m_http(http_client::WindowLimits())
{
    setObjectName(QStringLiteral("frmCtrl"));
    setWindowTitle(QStringLiteral("コントロールパネル"));

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    outer->addWidget(PageControl1);

    // "置換": replace in the source text or the URL list.
    auto *tabReplace = new QWidget;
    auto *gridReplace = new QGridLayout(tabReplace);
    tightLayout(gridReplace);
    auto *targetReplace = new QHBoxLayout;
    rdo1S = new QRadioButton(QStringLiteral("ソース"), tabReplace);
    rdo1S->setObjectName(QStringLiteral("rdo1S"));
    rdo1L = new QRadioButton(QStringLiteral("ＵＲＬリスト"), tabReplace);
    rdo1L->setObjectName(QStringLiteral("rdo1L"));
    rdo1S->setChecked(true);
    targetReplace->addWidget(rdo1S);
    targetReplace->addWidget(rdo1L);
    targetReplace->addStretch();
    gridReplace->addWidget(new QLabel(QStringLiteral("対象："), tabReplace), 0, 0);
    gridReplace->addLayout(targetReplace, 0, 1, 1, 2);
    cmbBefore = makeHistoryCombo(tabReplace, "cmbBefore");
    cmbAfter = makeHistoryCombo(tabReplace, "cmbAfter");
    btnReplace = makeButton(tabReplace, QStringLiteral("置き換え"), "btnReplace");
    gridReplace->addWidget(new QLabel(QStringLiteral("置換前："), tabReplace), 1, 0);
    gridReplace->addWidget(cmbBefore, 1, 1);
    gridReplace->addWidget(new QLabel(QStringLiteral("置換後："), tabReplace), 2, 0);
    gridReplace->addWidget(cmbAfter, 2, 1);
    gridReplace->addWidget(btnReplace, 2, 2);
    gridReplace->setColumnStretch(1, 1);
    gridReplace->setRowStretch(3, 1);
    PageControl1->addTab(tabReplace, QStringLiteral("置換"));

    // "検索": search the source text or the URL list.
    auto *tabSearch = new QWidget;
    auto *gridSearch = new QGridLayout(tabSearch);
    tightLayout(gridSearch);
    auto *targetSearch = new QHBoxLayout;
    rdo2S = new QRadioButton(QStringLiteral("ソース"), tabSearch);
    rdo2S->setObjectName(QStringLiteral("rdo2S"));
    rdo2L = new QRadioButton(QStringLiteral("ＵＲＬリスト"), tabSearch);
    rdo2L->setObjectName(QStringLiteral("rdo2L"));
    rdo2S->setChecked(true);
    targetSearch->addWidget(rdo2S);
    targetSearch->addWidget(rdo2L);
    targetSearch->addStretch();
    gridSearch->addWidget(new QLabel(QStringLiteral("対象："), tabSearch), 0, 0);
    gridSearch->addLayout(targetSearch, 0, 1, 1, 2);
    cmbKey = makeHistoryCombo(tabSearch, "cmbKey");
    btnSearch = makeButton(tabSearch, QStringLiteral("検索"), "btnSearch");
    gridSearch->addWidget(new QLabel(QStringLiteral("ｷｰﾜｰﾄﾞ："), tabSearch), 1, 0);
    gridSearch->addWidget(cmbKey, 1, 1);
    gridSearch->addWidget(btnSearch, 1, 2);
    gridSearch->setColumnStretch(1, 1);
    gridSearch->setRowStretch(2, 1);
    PageControl1->addTab(tabSearch, QStringLiteral("検索"));

    // "インターネット": download a page into the source text.
    auto *tabNet = new QWidget;
    auto *gridNet = new QGridLayout(tabNet);
    tightLayout(gridNet);
    gridNet->addWidget(
        new QLabel(QStringLiteral("ＨＴＭＬファイルをダウンロードします。（テキストファイル限定）"), tabNet), 0, 0, 1,
        4);
    cmbUrl = makeHistoryCombo(tabNet, "cmbUrl");
    btnDownload = makeButton(tabNet, QStringLiteral("ダウンロード"), "btnDownload");
    btnCorrect = makeButton(tabNet, QStringLiteral("ＵＲＬ補正"), "btnCorrect");
    gridNet->addWidget(new QLabel(QStringLiteral("URL："), tabNet), 1, 0);
    gridNet->addWidget(cmbUrl, 1, 1);
    gridNet->addWidget(btnDownload, 1, 2);
    gridNet->addWidget(btnCorrect, 1, 3);
    ckHosei = new QCheckBox(QStringLiteral("ダウンロード時に抽出とＵＲＬ補正を行う。"), tabNet);
    ckHosei->setObjectName(QStringLiteral("ckHosei"));
    Label12 = new QLabel(QStringLiteral("status：000"), tabNet);
    Label12->setObjectName(QStringLiteral("Label12"));
    gridNet->addWidget(ckHosei, 2, 0, 1, 2);
    gridNet->addWidget(Label12, 2, 2, 1, 2);
    auto *webOptions = new QHBoxLayout;
    ckWeb = new QCheckBox(QStringLiteral("HTTPS とリダイレクトを使う"), tabNet);
    ckWeb->setObjectName(QStringLiteral("ckWeb"));
    ckToSjis = new QCheckBox(QStringLiteral("文字コードを Shift_JIS に変換する"), tabNet);
    ckToSjis->setObjectName(QStringLiteral("ckToSjis"));
    webOptions->addWidget(ckWeb);
    webOptions->addSpacing(12);
    webOptions->addWidget(ckToSjis);
    webOptions->addStretch();
    gridNet->addLayout(webOptions, 3, 0, 1, 4);
    gridNet->setColumnStretch(1, 1);
    gridNet->setRowStretch(4, 1);
    PageControl1->addTab(tabNet, QStringLiteral("インターネット"));

    // "動作設定": what a double-click on the URL list does.
    auto *tabClick = new QWidget;
    auto *clickLayout = new QVBoxLayout(tabClick);
    tightLayout(clickLayout);
    auto *group = new QGroupBox(QStringLiteral("ＵＲＬリストをクリックした時の処理"), tabClick);
    auto *gridGroup = new QGridLayout(group);
    tightLayout(gridGroup);
    ckToURL = new QCheckBox(QStringLiteral("ＵＲＬ欄にＵＲＬをコピーする"), group);
    ckToURL->setObjectName(QStringLiteral("ckToURL"));
    ckToClip = new QCheckBox(QStringLiteral("クリップボードにＵＲＬをコピーする"), group);
    ckToClip->setObjectName(QStringLiteral("ckToClip"));
    ckToExe = new QCheckBox(QStringLiteral("ブラウザを開く"), group);
    ckToExe->setObjectName(QStringLiteral("ckToExe"));
    edtExe = new QLineEdit(group);
    edtExe->setObjectName(QStringLiteral("edtExe"));
    edtExe->setMaxLength(kNoLengthLimit);
    btnExe = makeButton(group, QStringLiteral("..."), "btnExe");
    btnExe->setFixedWidth(28);
    gridGroup->addWidget(ckToURL, 0, 0);
    gridGroup->addWidget(ckToClip, 0, 1, 1, 2);
    gridGroup->addWidget(ckToExe, 1, 0);
    gridGroup->addWidget(edtExe, 1, 1);
    gridGroup->addWidget(btnExe, 1, 2);
    gridGroup->setColumnStretch(1, 1);
    clickLayout->addWidget(group);
    clickLayout->addStretch();
    PageControl1->addTab(tabClick, QStringLiteral("動作設定"));

    PageControl1->setCurrentIndex(0);
    resize(560, 133);

    connect(btnReplace, &QPushButton::clicked, this, &TfrmCtrl::btnReplaceClick);
    connect(btnSearch, &QPushButton::clicked, this, &TfrmCtrl::btnSearchClick);
    connect(btnDownload, &QPushButton::clicked, this, &TfrmCtrl::btnDownloadClick);
    connect(btnCorrect, &QPushButton::clicked, this, &TfrmCtrl::btnCorrectClick);
    connect(btnExe, &QPushButton::clicked, this, &TfrmCtrl::btnExeClick);
}

TfrmCtrl::~TfrmCtrl() = default;

void TfrmCtrl::FormCreate(const window_settings::CtrlPart &stored)
{
    constexpr long kUnset = window_settings::CtrlPart::kUnset;
    m_placeBesideMain = stored.top == kUnset && stored.left == kUnset;
    if (!m_placeBesideMain)
        RestoreWindowPlace(
            this, stored.left == kUnset ? 0 : stored.left, stored.top == kUnset ? 0 : stored.top, width(), height());
    m_unplacedAt = pos();
    ckWeb->setChecked(stored.web);
    ckToSjis->setChecked(stored.toSjis);

    func_save::CtrlPanelState panel = state();
    const error::Result<std::string> setIni
        = ReadSettingsFileTelling(m_prompts, m_mainWindow, m_paths.setIni, settings_file::kMaxSettingsValues);
    if (setIni) func_save::ApplySetIni(panel, *setIni);
    applyState(panel);

    if (stored.onTop) emit stayOnTopRequested(true);
}

std::string TfrmCtrl::urlText() const
{
    return QStringToUrl(cmbUrl->currentText());
}

void TfrmCtrl::setUrlText(std::string_view url)
{
    cmbUrl->setEditText(LineToQString(url));
}

bool TfrmCtrl::toUrl() const
{
    return ckToURL->isChecked();
}
bool TfrmCtrl::toClip() const
{
    return ckToClip->isChecked();
}
bool TfrmCtrl::toExe() const
{
    return ckToExe->isChecked();
}

std::string TfrmCtrl::exePath() const
{
    // Bytes loaded from set.ini go back unchanged while the box still shows them.
    if (edtExe->text() == m_exeShown) return m_exeStored;
    return QFile::encodeName(edtExe->text()).toStdString();
}

func_save::CtrlPanelState TfrmCtrl::state() const
{
    func_save::CtrlPanelState s;
    s.before = comboState(cmbBefore);
    s.after = comboState(cmbAfter);
    s.keyword = comboState(cmbKey);
    s.url = comboState(cmbUrl, QStringToUrl);
    s.rdo1L = rdo1L->isChecked();
    s.rdo2L = rdo2L->isChecked();
    s.hosei = ckHosei->isChecked();
    s.toUrl = ckToURL->isChecked();
    s.toClip = ckToClip->isChecked();
    s.toExe = ckToExe->isChecked();
    s.exe = exePath();
    return s;
}

void TfrmCtrl::applyState(const func_save::CtrlPanelState &s)
{
    setComboState(cmbBefore, s.before);
    setComboState(cmbAfter, s.after);
    setComboState(cmbKey, s.keyword);
    setComboState(cmbUrl, s.url);
    // Only the URL-list button of each pair is stored; its partner is the default.
    (s.rdo1L ? rdo1L : rdo1S)->setChecked(true);
    (s.rdo2L ? rdo2L : rdo2S)->setChecked(true);
    ckHosei->setChecked(s.hosei);
    ckToURL->setChecked(s.toUrl);
    ckToClip->setChecked(s.toClip);
    ckToExe->setChecked(s.toExe);
    setExeFromStored(s.exe);
}

void TfrmCtrl::setExeFromStored(const std::string &stored)
{
    // The path is stored as the file system spells it. Older versions stored it as code page 932
    // text: such a record is not UTF-8 and names no file as it stands.
    const bool fileSystemBytes = QByteArrayView(stored).isValidUtf8() || file_io::FileExists(stored);
    edtExe->setText(fileSystemBytes ? QFile::decodeName(QByteArray::fromStdString(stored)) : LineToQString(stored));
    m_exeShown = edtExe->text();
    m_exeStored = fileSystemBytes ? stored : QFile::encodeName(m_exeShown).toStdString();
}

void TfrmCtrl::writeInternetOptions(ini_file::IniFile &ini) const
{
    ini.WriteBool(kInternetSection, "WEB", ckWeb->isChecked());
    ini.WriteBool(kInternetSection, "TOSJIS", ckToSjis->isChecked());
}

// "置き換え": every occurrence of the before text, in the source text or in every URL list item.
void TfrmCtrl::btnReplaceClick()
{
    const std::string before = QStringToLine(cmbBefore->currentText());
    if (before.empty()) return;
    addHistory(cmbBefore);
    addHistory(cmbAfter);
    const std::string after = QStringToLine(cmbAfter->currentText());

    if (rdo1S->isChecked()) {
        // Set modified even when nothing matched: the text was put back all the same.
        m_buffers.setSourceText(func_token::ReplaceAll(m_buffers.sourceText(), before, after), true);
    } else {
        // A before text holds no line break, so replacing in the joined text equals
        // replacing within each item; an item that becomes empty stays.
        const std::string joined = func_token::JoinCrLf(m_buffers.urlListItems());
        m_buffers.setUrlListItems(func_token::SplitLines(func_token::ReplaceAll(joined, before, after)));
    }
}

// "検索": the next occurrence in the source text (wrapping), or every matching list item.
void TfrmCtrl::btnSearchClick()
{
    const std::string key = QStringToLine(cmbKey->currentText());
    if (key.empty()) return;
    addHistory(cmbKey);

    if (rdo2S->isChecked()) {
        const std::optional<std::size_t> found
            = func_lanzo::FindInSource(m_buffers.sourceText(), key, m_buffers.sourceSelectionEndBytes());
        if (found) m_buffers.selectSourceBytes(*found, key.size());
    } else {
        m_buffers.addUrlListSelection(func_lanzo::SelectMatchingItems(m_buffers.urlListItems(), key));
    }
}

// "ダウンロード" (while downloading the same button reads "中止" and cancels).
void TfrmCtrl::btnDownloadClick()
{
    if (m_download) {
        m_download->cancel();
        return;
    }
    const std::string url = urlText();
    if (url.empty()) return;
    addHistory(cmbUrl, QStringToUrl);

    const bool web = ckWeb->isChecked();
    http_client::Response result;
    error::Result<void> got;
    {
        DownloadGuard guard(btnDownload);
        m_download = &guard;
        got = m_http.Get(url, result, guard.tick(), web ? http_client::Mode::Web : http_client::Mode::Plain);
        m_download = nullptr;
    }
    // A cancelled download brought no page, whatever status line had arrived.
    const bool cancelled = !got && got.error().kind == error::Kind::Stopped;
    Label12->setText(QStringLiteral("status：") + QString::number(cancelled ? -1 : result.status));
    // The code alone says nothing about a refused certificate or a broken transfer.
    Label12->setToolTip(got ? QString() : QString::fromStdString(error_text_ja::Text(got.error())));

    // Success or not, the source text ends up with CR LF breaks and marked modified.
    if (got) {
        if (ckToSjis->isChecked()) {
            page_convert::Converted page = page_convert::ToShiftJis(result.body, result.contentType);
            result.body = std::move(page.text);
            Label12->setToolTip(
                QStringLiteral("文字コード：%1（%2）")
                    .arg(QString::fromStdString(page.charset.name), charsetSourceText(page.charset.source)));
        }
        // Relative links resolve against the address the page came from: URL correction reads the box.
        if (web && result.finalUrl != url) {
            setUrlText(result.finalUrl);
            addHistory(cmbUrl, QStringToUrl);
        }
        m_buffers.setSourceText(result.body, true);
    } else {
        const std::string old = m_buffers.sourceText();
        std::string normalised = func_token::NormalizeLineBreaks(old);
        if (normalised != old)
            m_buffers.setSourceText(normalised, true);
        else
            m_buffers.setModified(true);
    }

    if (ckHosei->isChecked()) {
        emit linkExtractionRequested();
        emit urlCorrectionRequested();
    }
}

// "ＵＲＬ補正": correct the URL list against the URL box.
void TfrmCtrl::btnCorrectClick()
{
    emit urlCorrectionRequested();
}

// "...": choose the browser program.
void TfrmCtrl::btnExeClick()
{
    // Browsers here are executables without an extension: besides the *.exe filter all files
    // are offered, and that choice comes first outside Windows.
    const QString filter = QStringLiteral("ブラウザ(*.exe)|*.exe|すべてのファイル(*)|*");
#ifdef Q_OS_WIN
    int filterIndex = 0;
#else
    int filterIndex = 1;
#endif
    const QString path = m_prompts->getOpenFileName(this, filter, filterIndex, edtExe->text());
    if (!path.isEmpty()) edtExe->setText(path);
}

void TfrmCtrl::settlePlace()
{
    if (!m_placeBesideMain || !m_mainWindow) return;
    m_placeBesideMain = false;
    if (pos() != m_unplacedAt) return;
    const QSize outer = OuterSize(this, m_mainWindow);
    const window_geometry::Rect place = window_geometry::PlaceBeside(ToGeometryRect(m_mainWindow->frameGeometry()),
        outer.width(), outer.height(), ToGeometryRect(m_mainWindow->screen()->availableGeometry()));
    MoveFrameTo(this, ToQRect(place).topLeft(), m_mainWindow);
}

void TfrmCtrl::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) settlePlace();
}

void TfrmCtrl::closeEvent(QCloseEvent *event)
{
    // Closing only hides the panel; it lives until the program exits.
    event->accept();
}
