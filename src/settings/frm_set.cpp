#include "settings/frm_set.h"

#include "base/file_io.h"
#include "base/screens_qt.h"
#include "base/user_prompts_qt.h"
#include "encoding/editor_text_qt.h"
#include "settings/download_guard_qt.h"
#include "settings/frm_ctrl.h"
#include "settings/settings_file.h"
#include "settings/settings_file_qt.h"
#include "tables/cnv_table.h"
#include "text/func_token.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

namespace
{

// List items show their bytes through the editor codec and keep the bytes themselves in
// this role, so what set2.ini held comes back byte for byte.
constexpr int kBytesRole = Qt::UserRole;

std::string itemBytes(const QListWidgetItem *item)
{
    const QByteArray bytes = item->data(kBytesRole).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QListWidgetItem *makeItem(const std::string &bytes)
{
    auto *item = new QListWidgetItem(LineToQString(bytes));
    item->setData(kBytesRole, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return item;
}

QListWidget *makeCheckList(QWidget *parent, const char *name)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

func_save::CheckListState checkListState(const QListWidget *list)
{
    func_save::CheckListState state;
    state.items.reserve(list->count());
    state.checked.reserve(list->count());
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem *item = list->item(i);
        state.items.push_back(itemBytes(item));
        state.checked.push_back(item->checkState() == Qt::Checked);
    }
    return state;
}

void setCheckListState(QListWidget *list, const func_save::CheckListState &state)
{
    list->clear();
    for (std::size_t i = 0; i < state.items.size(); ++i) {
        QListWidgetItem *item = makeItem(state.items[i]);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        const bool checked = i < state.checked.size() && state.checked[i];
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
        list->addItem(item);
    }
}

func_token::StringList checkedItems(const QListWidget *list)
{
    func_token::StringList items;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->checkState() == Qt::Checked) items.push_back(itemBytes(list->item(i)));
    }
    return items;
}

// The row of the selected entry, or -1.
int selectedRow(const QListWidget *list)
{
    const QListWidgetItem *item = list->currentItem();
    return item && item->isSelected() ? list->row(item) : -1;
}

void swapRows(QListWidget *list, int a, int b)
{
    QListWidgetItem *first = list->item(a);
    QListWidgetItem *second = list->item(b);
    const QString text = first->text();
    const QVariant bytes = first->data(kBytesRole);
    first->setText(second->text());
    first->setData(kBytesRole, second->data(kBytesRole));
    second->setText(text);
    second->setData(kBytesRole, bytes);
}

QLabel *label(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return l;
}

} // namespace

TfrmSet::TfrmSet(
    QWidget *mainWindow, TfrmCtrl *ctrl, const app_paths::AppPaths &paths, UserPrompts *prompts, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
    , m_mainWindow(mainWindow)
    , m_ctrl(ctrl)
    , m_paths(paths)
    , m_prompts(prompts)
    , m_http(http_client::WindowLimits())
{
    setObjectName(QStringLiteral("frmSet"));
    setWindowTitle(QStringLiteral("環境設定"));

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    outer->addWidget(PageControl1);

    // "抽出条件": the auto-run tables, automatic expansion and the three condition lists.
    auto *tabCond = new QWidget;
    auto *grid = new QGridLayout(tabCond);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setSpacing(4);
    grid->addWidget(label(QStringLiteral("抽出時に自動実行する変換テーブル："), tabCond), 0, 0, 1, 2);
    lstCnv = new QListWidget(tabCond);
    lstCnv->setObjectName(QStringLiteral("lstCnv"));
    lstCnv->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->addWidget(lstCnv, 1, 0, 1, 2);
    auto *buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    btnAdd = new QPushButton(QStringLiteral("追加"), tabCond);
    btnAdd->setObjectName(QStringLiteral("btnAdd"));
    btnUp = new QPushButton(QStringLiteral("▲上へ"), tabCond);
    btnUp->setObjectName(QStringLiteral("btnUp"));
    btnDown = new QPushButton(QStringLiteral("▼下へ"), tabCond);
    btnDown->setObjectName(QStringLiteral("btnDown"));
    btnDel = new QPushButton(QStringLiteral("削除"), tabCond);
    btnDel->setObjectName(QStringLiteral("btnDel"));
    for (QPushButton *b : { btnAdd, btnUp, btnDown, btnDel })
        buttons->addWidget(b);
    buttons->addStretch();
    grid->addLayout(buttons, 1, 2);
    auto *other = new QGroupBox(QStringLiteral("その他"), tabCond);
    auto *otherLayout = new QVBoxLayout(other);
    ckAuto = new QCheckBox(QStringLiteral("[00-99]自動展開する。"), other);
    ckAuto->setObjectName(QStringLiteral("ckAuto"));
    otherLayout->addWidget(ckAuto);
    otherLayout->addStretch();
    grid->addWidget(other, 0, 3, 2, 1);

    cbxPrefix = makeCheckList(tabCond, "cbxPrefix");
    cbxMiddle = makeCheckList(tabCond, "cbxMiddle");
    cbxSuffix = makeCheckList(tabCond, "cbxSuffix");
    auto *conds = new QGridLayout;
    conds->setSpacing(4);
    conds->addWidget(label(QStringLiteral("先頭条件："), tabCond), 0, 0);
    conds->addWidget(label(QStringLiteral("内部条件："), tabCond), 0, 1);
    conds->addWidget(label(QStringLiteral("末尾条件："), tabCond), 0, 2);
    conds->addWidget(cbxPrefix, 1, 0);
    conds->addWidget(cbxMiddle, 1, 1);
    conds->addWidget(cbxSuffix, 1, 2);
    grid->addLayout(conds, 2, 0, 1, 4);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(1, 2);
    grid->setRowStretch(2, 3);
    PageControl1->addTab(tabCond, QStringLiteral("抽出条件"));

    // "最新情報": the news download.
    auto *tabNews = new QWidget;
    auto *newsLayout = new QVBoxLayout(tabNews);
    newsLayout->setContentsMargins(6, 6, 6, 6);
    mmNew = new QPlainTextEdit(tabNews);
    mmNew->setObjectName(QStringLiteral("mmNew"));
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setFixedPitch(true);
    mmNew->setFont(fixed);
    mmNew->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmNew->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmNew->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmNew->setPlainText(QStringLiteral("次のテキストファイルをダウンロードして表示します。\n\n")
        + QString::fromStdString(http_client::NewsUrl())
        + QStringLiteral("\n\nこのファイルには、通常のWebブラウザからもアクセスできます。\n"));
    newsLayout->addWidget(mmNew);
    auto *newsRow = new QHBoxLayout;
    btnNews = new QPushButton(QStringLiteral("最新情報"), tabNews);
    btnNews->setObjectName(QStringLiteral("btnNews"));
    lbStatus = new QLabel(QStringLiteral("status: "), tabNews);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    newsRow->addWidget(btnNews);
    newsRow->addWidget(lbStatus, 1);
    newsLayout->addLayout(newsRow);
    PageControl1->addTab(tabNews, QStringLiteral("最新情報"));

    // "バージョン": icon, name and version, greyed.
    auto *tabVersion = new QWidget;
    auto *versionLayout = new QVBoxLayout(tabVersion);
    auto *frame = new QFrame(tabVersion);
    frame->setFrameShape(QFrame::StyledPanel);
    auto *frameLayout = new QHBoxLayout(frame);
    auto *icon = new QLabel(frame);
    QIcon programIcon = QApplication::windowIcon();
    if (programIcon.isNull()) programIcon = QIcon(QStringLiteral(":/icons/lanzo.svg"));
    icon->setPixmap(programIcon.pixmap(32, 32));
    frameLayout->addWidget(icon);
    auto *names = new QVBoxLayout;
    names->addWidget(new QLabel(QStringLiteral("Lanzo"), frame));
    names->addWidget(new QLabel(QStringLiteral("Versionβ2"), frame));
    frameLayout->addLayout(names);
    frameLayout->addStretch();
    frame->setEnabled(false);
    versionLayout->addWidget(frame);
    versionLayout->addStretch();
    PageControl1->addTab(tabVersion, QStringLiteral("バージョン"));

    PageControl1->setCurrentIndex(0);
    resize(492, 292);

    connect(btnAdd, &QPushButton::clicked, this, &TfrmSet::btnAddClick);
    connect(btnUp, &QPushButton::clicked, this, &TfrmSet::btnUpClick);
    connect(btnDown, &QPushButton::clicked, this, &TfrmSet::btnDownClick);
    connect(btnDel, &QPushButton::clicked, this, &TfrmSet::btnDelClick);
    connect(btnNews, &QPushButton::clicked, this, &TfrmSet::btnNewsClick);
}

TfrmSet::~TfrmSet() = default;

void TfrmSet::FormCreate(const window_settings::SetPart &stored)
{
    if (!file_io::DirectoryExists(m_paths.configDir)) file_io::MakeDirectory(m_paths.configDir);

    emit listWidthRequested(stored.listWidth);
    if (stored.ctrlShown && m_ctrl) m_ctrl->show();
    emit listShownRequested(stored.listShown);

    func_save::SetDialogState dialog = state();
    const error::Result<std::string> set2
        = ReadSettingsFileTelling(m_prompts, m_mainWindow, m_paths.set2Ini, settings_file::kMaxSettingsValues);
    if (set2) func_save::ApplySet2Ini(dialog, *set2);
    applyState(dialog);
}

extraction::Conditions TfrmSet::conditions() const
{
    extraction::Conditions c;
    c.prefixes = checkedItems(cbxPrefix);
    c.middles = checkedItems(cbxMiddle);
    c.suffixes = checkedItems(cbxSuffix);
    return c;
}

func_token::StringList TfrmSet::tableNames() const
{
    func_token::StringList names;
    names.reserve(lstCnv->count());
    for (int i = 0; i < lstCnv->count(); ++i)
        names.push_back(itemBytes(lstCnv->item(i)));
    return names;
}

bool TfrmSet::autoExpand() const
{
    return ckAuto->isChecked();
}

func_save::SetDialogState TfrmSet::state() const
{
    func_save::SetDialogState s;
    s.prefix = checkListState(cbxPrefix);
    s.middle = checkListState(cbxMiddle);
    s.suffix = checkListState(cbxSuffix);
    s.autoExpand = ckAuto->isChecked();
    s.convert = tableNames();
    return s;
}

void TfrmSet::applyState(const func_save::SetDialogState &s)
{
    setCheckListState(cbxPrefix, s.prefix);
    setCheckListState(cbxMiddle, s.middle);
    setCheckListState(cbxSuffix, s.suffix);
    ckAuto->setChecked(s.autoExpand);
    lstCnv->clear();
    for (const std::string &name : s.convert)
        lstCnv->addItem(makeItem(name));
}

// "追加": append the chosen table file's name (its last four characters dropped).
void TfrmSet::btnAddClick()
{
    int filterIndex = 0;
    const QString path = m_prompts->getOpenFileName(
        this, QStringLiteral("変換テーブル(*.tbl)|*.tbl"), filterIndex, QString::fromStdString(m_paths.tableDir));
    if (path.isEmpty()) return;
    // Appended even when the name is already listed or the file lies elsewhere.
    lstCnv->addItem(makeItem(cnv_table::TableNameFromPath(path.toStdString())));
}

// "▲上へ": the selected entry moves up one place and stays selected.
void TfrmSet::btnUpClick()
{
    const int row = selectedRow(lstCnv);
    if (row <= 0) return;
    swapRows(lstCnv, row, row - 1);
    lstCnv->setCurrentRow(row - 1);
}

// "▼下へ": the selected entry moves down one place and stays selected.
void TfrmSet::btnDownClick()
{
    const int row = selectedRow(lstCnv);
    if (row < 0 || row >= lstCnv->count() - 1) return;
    swapRows(lstCnv, row, row + 1);
    lstCnv->setCurrentRow(row + 1);
}

// "削除": remove the selected entry, without asking; afterwards nothing is selected.
void TfrmSet::btnDelClick()
{
    const int row = selectedRow(lstCnv);
    if (row < 0) return;
    delete lstCnv->takeItem(row);
    lstCnv->setCurrentRow(-1);
    lstCnv->clearSelection();
}

// "最新情報": fetch the news file into mmNew (the same button reads "中止" meanwhile).
void TfrmSet::btnNewsClick()
{
    if (m_download) {
        m_download->cancel();
        return;
    }
    http_client::Response result;
    error::Result<void> got;
    {
        DownloadGuard guard(btnNews);
        m_download = &guard;
        got = m_http.Get(http_client::NewsUrl(), result, guard.tick());
        m_download = nullptr;
    }
    // A failure keeps the text that was there; either way the box ends with CR LF breaks,
    // which the editor codec shows as plain line breaks.
    if (got) mmNew->setPlainText(BytesToEditorText(func_token::NormalizeLineBreaks(result.body)));
    // A cancelled download brought no page, whatever status line had arrived.
    const bool cancelled = !got && got.error().kind == error::Kind::Stopped;
    lbStatus->setText(QStringLiteral("status：") + QString::number(cancelled ? -1 : result.status));
}

void TfrmSet::closeEvent(QCloseEvent *event)
{
    // Closing only hides the dialog; its controls stay the live settings.
    event->accept();
}

void TfrmSet::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous() || !m_mainWindow) return;
    const QSize outer = OuterSize(this, m_mainWindow);
    MoveFrameTo(
        this, m_mainWindow->frameGeometry().center() - QPoint(outer.width() / 2, outer.height() / 2), m_mainWindow);
}
