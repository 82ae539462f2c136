// The main window's menus: the menu bar, the two context menus, the conversion submenus with
// their table items, the enabling rules and the editing shortcuts.
#include "app/frm_main.h"

#include "app/frm_main_menus.h"
#include "app/url_list_model_qt.h"
#include "encoding/editor_text_qt.h"

#include <QAction>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>

namespace
{

QIcon menuIcon(const char *name)
{
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

QAction *addItem(QMenu *menu, const QString &caption, const char *objectName, const char *icon = nullptr)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(objectName));
    if (icon) action->setIcon(menuIcon(icon));
    return action;
}

// The shortcut is shown in the menu and works while the menu is open; elsewhere the window's
// own shortcut actions run the item (after its enabling rule).
void showShortcut(QAction *action, QKeyCombination key)
{
    action->setShortcut(QKeySequence(key));
    action->setShortcutContext(Qt::WidgetShortcut);
}

QMenu *addSubmenu(QMenu *menu, const QString &caption, const char *objectName)
{
    QMenu *sub = menu->addMenu(caption);
    sub->setObjectName(QLatin1String(objectName));
    sub->menuAction()->setObjectName(QLatin1String(objectName) + QStringLiteral("Item"));
    return sub;
}

} // namespace

void TfrmMain::buildMenus()
{
    MenuSet &m = *m_menus;
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    // "ファイル(&F)"
    m.file = bar->addMenu(QStringLiteral("ファイル(&F)"));
    m.file->setObjectName(QStringLiteral("mnuFile"));
    connect(addItem(m.file, QStringLiteral("新規作成"), "mnuNew", "new"), &QAction::triggered, this,
        &TfrmMain::mnuNewClick);
    connect(addItem(m.file, QStringLiteral("作業用ファイルを開く(&W)"), "mnuOpenWork", "open"), &QAction::triggered,
        this, &TfrmMain::mnuOpenWorkClick);
    connect(addItem(m.file, QStringLiteral("ファイルを開く(&O)"), "mnuOpen", "open"), &QAction::triggered, this,
        &TfrmMain::mnuOpenClick);
    m.file->addSeparator();
    m.save = addItem(m.file, QStringLiteral("上書き保存(&S)"), "mnuSave", "save");
    connect(m.save, &QAction::triggered, this, &TfrmMain::mnuSaveClick);
    connect(addItem(m.file, QStringLiteral("名前を付けて保存(&A)"), "mnuSaveAs"), &QAction::triggered, this,
        &TfrmMain::mnuSaveAsClick);
    m.file->addSeparator();
    m.linkPage = addItem(m.file, QStringLiteral("リンク集作成(&L)"), "mnuLinkPage");
    connect(m.linkPage, &QAction::triggered, this, &TfrmMain::mnuLinkPageClick);
    // Shown and enabled with the link page, but it has no command of its own.
    m.makeUrlList = addItem(m.file, QStringLiteral("URLリスト作成(&U)"), "mnuMakeUrlList");
    connect(m.file, &QMenu::aboutToShow, this, &TfrmMain::applyRuleF);

    // "編集（ソース）(&E)"
    m.editSource = bar->addMenu(QStringLiteral("編集（ソース）(&E)"));
    m.editSource->setObjectName(QStringLiteral("mnuEditSource"));
    m.undo = addItem(m.editSource, QStringLiteral("元に戻す(&U)"), "mnuUndo", "undo");
    showShortcut(m.undo, Qt::CTRL | Qt::Key_Z);
    connect(m.undo, &QAction::triggered, this, &TfrmMain::mnuUndoClick);
    m.editSource->addSeparator();
    m.del = addItem(m.editSource, QStringLiteral("削除(&L)"), "mnuDelete", "delete");
    connect(m.del, &QAction::triggered, this, &TfrmMain::mnuDeleteClick);
    connect(addItem(m.editSource, QStringLiteral("すべてを削除(&D)"), "mnuDeleteAll", "delete"), &QAction::triggered,
        this, &TfrmMain::mnuDeleteAllClick);
    m.editSource->addSeparator();
    m.cut = addItem(m.editSource, QStringLiteral("カット(&T)"), "mnuCut", "cut");
    showShortcut(m.cut, Qt::CTRL | Qt::Key_X);
    connect(m.cut, &QAction::triggered, this, &TfrmMain::mnuCutClick);
    m.copy = addItem(m.editSource, QStringLiteral("コピー(&C)"), "mnuCopy", "copy");
    showShortcut(m.copy, Qt::CTRL | Qt::Key_C);
    connect(m.copy, &QAction::triggered, this, &TfrmMain::mnuCopyClick);
    m.paste = addItem(m.editSource, QStringLiteral("ペースト(&P)"), "mnuPaste", "paste");
    showShortcut(m.paste, Qt::CTRL | Qt::Key_V);
    connect(m.paste, &QAction::triggered, this, &TfrmMain::mnuPasteClick);
    m.editSource->addSeparator();
    m.selectAll = addItem(m.editSource, QStringLiteral("すべてを選択(&S)"), "mnuSelectAll");
    showShortcut(m.selectAll, Qt::CTRL | Qt::Key_A);
    connect(m.selectAll, &QAction::triggered, this, &TfrmMain::mnuSelectAllClick);
    m.editSource->addSeparator();
    N69 = buildConvertMenu(m.editSource, QStringLiteral("全体を変換"), false, false);
    N69->setObjectName(QStringLiteral("N69"));
    N70 = buildConvertMenu(m.editSource, QStringLiteral("選択範囲を変換"), true, false);
    N70->setObjectName(QStringLiteral("N70"));
    connect(m.editSource, &QMenu::aboutToShow, this, &TfrmMain::applyRuleE);

    // "編集（ＵＲＬリスト）(&L)"
    m.editList = bar->addMenu(QStringLiteral("編集（ＵＲＬリスト）(&L)"));
    m.editList->setObjectName(QStringLiteral("mnuEditList"));
    connect(addItem(m.editList, QStringLiteral("すべてを選択"), "lstSelectAll"), &QAction::triggered, this,
        &TfrmMain::lstSelectAllClick);
    connect(addItem(m.editList, QStringLiteral("選択を反転"), "lstInvert"), &QAction::triggered, this,
        &TfrmMain::lstInvertClick);
    m.editList->addSeparator();
    m.listDelete = addItem(m.editList, QStringLiteral("削除"), "lstDelete", "delete");
    connect(m.listDelete, &QAction::triggered, this, &TfrmMain::lstDeleteClick);
    connect(addItem(m.editList, QStringLiteral("すべてを削除"), "lstDeleteAll", "delete"), &QAction::triggered, this,
        &TfrmMain::lstDeleteAllClick);
    connect(addItem(m.editList, QStringLiteral("重複を削除"), "lstRemoveDuplicates", "delete"), &QAction::triggered,
        this, &TfrmMain::lstRemoveDuplicatesClick);
    m.editList->addSeparator();
    m.listCopy = addItem(m.editList, QStringLiteral("コピー"), "lstCopy", "copy");
    connect(m.listCopy, &QAction::triggered, this, &TfrmMain::lstCopyClick);
    connect(addItem(m.editList, QStringLiteral("すべてをコピー"), "lstCopyAll", "copy"), &QAction::triggered, this,
        &TfrmMain::lstCopyAllClick);
    m.editList->addSeparator();
    connect(addItem(m.editList, QStringLiteral("ソート（前方参照）"), "lstSortForward"), &QAction::triggered, this,
        &TfrmMain::lstSortForwardClick);
    connect(addItem(m.editList, QStringLiteral("ソート（後方参照）"), "lstSortBackward"), &QAction::triggered, this,
        &TfrmMain::lstSortBackwardClick);
    connect(m.editList, &QMenu::aboutToShow, this, &TfrmMain::applyRuleL);

    // "抽出(&D)"
    m.extract = bar->addMenu(QStringLiteral("抽出(&D)"));
    m.extract->setObjectName(QStringLiteral("mnuExtract"));
    m.n7 = addItem(m.extract, QStringLiteral("全体から抽出"), "N7");
    connect(m.n7, &QAction::triggered, this, &TfrmMain::N7Click);
    m.n8 = addItem(m.extract, QStringLiteral("選択範囲から抽出"), "N8");
    connect(m.n8, &QAction::triggered, this, &TfrmMain::N8Click);
    m.extract->addSeparator();
    m.html1 = addItem(m.extract, QStringLiteral("全体からリンクを抽出"), "HTML1");
    connect(m.html1, &QAction::triggered, this, &TfrmMain::HTML1Click);
    m.n92 = addItem(m.extract, QStringLiteral("選択範囲からリンクを抽出"), "N92");
    connect(m.n92, &QAction::triggered, this, &TfrmMain::N92Click);
    connect(m.extract, &QMenu::aboutToShow, this, &TfrmMain::applyRuleD);

    // "ツール(&T)"
    m.tools = bar->addMenu(QStringLiteral("ツール(&T)"));
    m.tools->setObjectName(QStringLiteral("mnuTools"));
    QMenu *dataCopy = addSubmenu(m.tools, QStringLiteral("データコピー(&X)"), "mnuDataCopy");
    connect(addItem(dataCopy, QStringLiteral("ソース→ＵＲＬリスト"), "mnuSourceToList"), &QAction::triggered, this,
        &TfrmMain::mnuSourceToListClick);
    connect(addItem(dataCopy, QStringLiteral("ソース←ＵＲＬリスト"), "mnuListToSource"), &QAction::triggered, this,
        &TfrmMain::mnuListToSourceClick);
    m.tools->addSeparator();
    QMenu *source = addSubmenu(m.tools, QStringLiteral("ソース"), "mnuSourceTools");
    connect(addItem(source, QStringLiteral("ＨＴＭＬタグ切り出し"), "mnuCutOutTags"), &QAction::triggered, this,
        &TfrmMain::mnuCutOutTagsClick);
    connect(addItem(source, QStringLiteral("ＨＴＭＬタグの除去"), "mnuRemoveTags"), &QAction::triggered, this,
        &TfrmMain::mnuRemoveTagsClick);
    source->addSeparator();
    connect(addItem(source, QStringLiteral("前後の空白除去"), "mnuTrimLines"), &QAction::triggered, this,
        &TfrmMain::mnuTrimLinesClick);
    connect(addItem(source, QStringLiteral("空行削除"), "mnuDeleteEmpty"), &QAction::triggered, this,
        &TfrmMain::mnuDeleteEmptyClick);
    connect(addItem(source, QStringLiteral("タグ＋空白＋空行除去"), "mnuClean"), &QAction::triggered, this,
        &TfrmMain::mnuCleanClick);
    QMenu *listTools = addSubmenu(m.tools, QStringLiteral("ＵＲＬリスト"), "mnuListTools");
    connect(addItem(listTools, QStringLiteral("ＵＲＬ補正"), "UrlCorrect"), &QAction::triggered, this,
        &TfrmMain::UrlCorrectClick);
    connect(addItem(listTools, QStringLiteral("[00-99]連番展開"), "mnuSequence"), &QAction::triggered, this,
        &TfrmMain::mnuSequenceClick);
    m.tools->addSeparator();
    connect(addItem(m.tools, QStringLiteral("ソースとＵＲＬリストをクリア"), "mnuClearBoth"), &QAction::triggered, this,
        &TfrmMain::mnuClearBothClick);

    // "表示(&V)"
    m.view = bar->addMenu(QStringLiteral("表示(&V)"));
    m.view->setObjectName(QStringLiteral("mnuView"));
    m.onTop = addItem(m.view, QStringLiteral("常に手前に表示"), "OnTop");
    m.onTop->setCheckable(true);
    // The menu has already flipped the tick when triggered fires; OnTopClick flips it itself.
    connect(m.onTop, &QAction::triggered, this, [this](bool checked) {
        m_menus->onTop->setChecked(!checked);
        OnTopClick();
    });
    m.view->addSeparator();
    connect(addItem(m.view, QStringLiteral("コントロールパネル"), "mnuCtrl"), &QAction::triggered, this,
        &TfrmMain::mnuCtrlClick);
    connect(addItem(m.view, QStringLiteral("環境設定"), "mnuSet"), &QAction::triggered, this, &TfrmMain::mnuSetClick);
    m.view->addSeparator();
    m.listView = addItem(m.view, QStringLiteral("ＵＲＬリスト"), "mnuListView");
    m.listView->setCheckable(true);
    m.listView->setChecked(true);
    connect(m.listView, &QAction::triggered, this, [this](bool checked) { setUrlListShown(checked); });

    // The editor's context menu.
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    m.pmUndo = addItem(PopupMenu2, QStringLiteral("元に戻す"), "pmUndo", "undo");
    connect(m.pmUndo, &QAction::triggered, this, &TfrmMain::mnuUndoClick);
    PopupMenu2->addSeparator();
    connect(addItem(PopupMenu2, QStringLiteral("すべてを選択"), "pmSelectAll"), &QAction::triggered, this,
        &TfrmMain::mnuSelectAllClick);
    PopupMenu2->addSeparator();
    m.pmCut = addItem(PopupMenu2, QStringLiteral("カット"), "pmCut", "cut");
    connect(m.pmCut, &QAction::triggered, this, &TfrmMain::mnuCutClick);
    connect(addItem(PopupMenu2, QStringLiteral("ペースト"), "pmPaste", "paste"), &QAction::triggered, this,
        &TfrmMain::mnuPasteClick);
    m.pmCopy = addItem(PopupMenu2, QStringLiteral("コピー"), "pmCopy", "copy");
    connect(m.pmCopy, &QAction::triggered, this, &TfrmMain::mnuCopyClick);
    PopupMenu2->addSeparator();
    connect(addItem(PopupMenu2, QStringLiteral("削除"), "pmDelete", "delete"), &QAction::triggered, this,
        &TfrmMain::mnuDeleteClick);
    connect(addItem(PopupMenu2, QStringLiteral("すべてを削除"), "pmDeleteAll", "delete"), &QAction::triggered, this,
        &TfrmMain::mnuDeleteAllClick);
    PopupMenu2->addSeparator();
    m.n61 = addItem(PopupMenu2, QStringLiteral("全体から抽出"), "N61");
    connect(m.n61, &QAction::triggered, this, &TfrmMain::N7Click);
    m.n62 = addItem(PopupMenu2, QStringLiteral("選択範囲から抽出"), "N62");
    connect(m.n62, &QAction::triggered, this, &TfrmMain::N8Click);
    PopupMenu2->addSeparator();
    N72 = buildConvertMenu(PopupMenu2, QStringLiteral("全体を変換"), false, true);
    N72->setObjectName(QStringLiteral("N72"));
    N73 = buildConvertMenu(PopupMenu2, QStringLiteral("選択範囲を変換"), true, true);
    N73->setObjectName(QStringLiteral("N73"));
    connect(PopupMenu2, &QMenu::aboutToShow, this, &TfrmMain::applyRuleP);
    connect(Memo1, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &pos) { PopupMenu2->popup(Memo1->viewport()->mapToGlobal(pos)); });

    // The URL list's context menu: every item always enabled.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    connect(addItem(PopupMenu1, QStringLiteral("すべてを選択"), "plSelectAll"), &QAction::triggered, this,
        &TfrmMain::lstSelectAllClick);
    connect(addItem(PopupMenu1, QStringLiteral("選択を反転"), "plInvert"), &QAction::triggered, this,
        &TfrmMain::lstInvertClick);
    PopupMenu1->addSeparator();
    connect(addItem(PopupMenu1, QStringLiteral("削除"), "plDelete", "delete"), &QAction::triggered, this,
        &TfrmMain::lstDeleteClick);
    connect(addItem(PopupMenu1, QStringLiteral("すべてを削除"), "plDeleteAll", "delete"), &QAction::triggered, this,
        &TfrmMain::lstDeleteAllClick);
    connect(addItem(PopupMenu1, QStringLiteral("重複削除"), "plRemoveDuplicates", "delete"), &QAction::triggered, this,
        &TfrmMain::lstRemoveDuplicatesClick);
    PopupMenu1->addSeparator();
    connect(addItem(PopupMenu1, QStringLiteral("コピー"), "plCopy", "copy"), &QAction::triggered, this,
        &TfrmMain::lstCopyClick);
    connect(addItem(PopupMenu1, QStringLiteral("すべてをコピー"), "plCopyAll", "copy"), &QAction::triggered, this,
        &TfrmMain::lstCopyAllClick);
    PopupMenu1->addSeparator();
    connect(addItem(PopupMenu1, QStringLiteral("ソート（前方参照）"), "plSortForward"), &QAction::triggered, this,
        &TfrmMain::lstSortForwardClick);
    connect(addItem(PopupMenu1, QStringLiteral("ソート（後方参照）"), "plSortBackward"), &QAction::triggered, this,
        &TfrmMain::lstSortBackwardClick);
    PopupMenu1->addSeparator();
    connect(addItem(PopupMenu1, QStringLiteral("[00-99]連番展開"), "plSequence"), &QAction::triggered, this,
        &TfrmMain::mnuSequenceClick);
    connect(UrlList, &QWidget::customContextMenuRequested, this,
        [this](const QPoint &pos) { PopupMenu1->popup(UrlList->viewport()->mapToGlobal(pos)); });

    // The editing shortcuts, for the whole window whichever pane has the focus. Each runs
    // its menu item's enabling rule first; a disabled item does nothing.
    const struct {
        QKeyCombination key;
        QAction *item;
        const char *name;
    } shortcuts[] = {
        { Qt::CTRL | Qt::Key_Z, m.undo, "keyUndo" },
        { Qt::CTRL | Qt::Key_X, m.cut, "keyCut" },
        { Qt::CTRL | Qt::Key_C, m.copy, "keyCopy" },
        { Qt::CTRL | Qt::Key_V, m.paste, "keyPaste" },
        { Qt::CTRL | Qt::Key_A, m.selectAll, "keySelectAll" },
    };
    for (const auto &s : shortcuts) {
        auto *key = new QAction(this);
        key->setObjectName(QLatin1String(s.name));
        key->setShortcut(QKeySequence(s.key));
        key->setShortcutContext(Qt::WindowShortcut);
        QAction *item = s.item;
        connect(key, &QAction::triggered, this, [this, item] { runShortcut(item, &TfrmMain::applyRuleE); });
        addAction(key);
    }
}

QMenu *TfrmMain::buildConvertMenu(QMenu *parent, const QString &caption, bool selection, bool context)
{
    QMenu *menu = parent->addMenu(caption);
    const auto run = [this, selection](Conversion c) {
        return [this, selection, c] { selection ? convertSelection(c) : convertWhole(c); };
    };
    // The main menu's whole-text submenu spells URL in full-width letters; the others do not,
    // and the context menu's first whole-text entry has full-width parentheses.
    const bool fullWidthUrl = !selection && !context;
    QMenu *url = menu->addMenu(
        fullWidthUrl ? QStringLiteral("ＵＲＬエンコード・デコード") : QStringLiteral("URLエンコード・デコード"));
    const QString encodeLines = (!selection && context) ? QStringLiteral("ＵＲＬエンコード（行毎に処理）")
                                                        : QStringLiteral("ＵＲＬエンコード(行毎に処理)");
    connect(url->addAction(encodeLines), &QAction::triggered, this, run(Conversion::UrlEncodeLines));
    connect(url->addAction(QStringLiteral("ＵＲＬエンコード")), &QAction::triggered, this, run(Conversion::UrlEncode));
    connect(url->addAction(QStringLiteral("ＵＲＬデコード(行毎に処理)")), &QAction::triggered, this,
        run(Conversion::UrlDecodeLines));
    connect(url->addAction(QStringLiteral("ＵＲＬデコード")), &QAction::triggered, this, run(Conversion::UrlDecode));

    QMenu *code = menu->addMenu(QStringLiteral("文字コード変換"));
    connect(code->addAction(QStringLiteral("EUC→SJIS")), &QAction::triggered, this, run(Conversion::EucToSjis));
    connect(code->addAction(QStringLiteral("UTF8→SJIS")), &QAction::triggered, this, run(Conversion::Utf8ToSjis));
    code->addSeparator();
    connect(code->addAction(QStringLiteral("SJIS→EUC")), &QAction::triggered, this, run(Conversion::SjisToEuc));
    connect(code->addAction(QStringLiteral("SJIS→UTF8")), &QAction::triggered, this, run(Conversion::SjisToUtf8));
    menu->addSeparator();
    return menu;
}

void TfrmMain::addTableItems(const std::string &tableName)
{
    m_tableNames.push_back(tableName);
    // The caption is the table name exactly: an '&' in it is a letter, not an access key.
    QString caption = LineToQString(tableName);
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    for (QMenu *menu : { N69, N70, N72, N73 }) {
        QAction *item = menu->addAction(caption);
        const bool selection = (menu == N70 || menu == N73);
        connect(item, &QAction::triggered, this,
            [this, tableName, selection] { selection ? cvpSelMenuClick(tableName) : cvpMenuClick(tableName); });
    }
}

// ---- Enabling rules --------------------------------------------------------------------------

void TfrmMain::applyRuleF()
{
    m_menus->save->setEnabled(!m_fileName.isEmpty());
    const bool hasItems = m_listModel->size() > 0;
    m_menus->linkPage->setEnabled(hasItems);
    m_menus->makeUrlList->setEnabled(hasItems);
}

void TfrmMain::applyRuleE()
{
    const bool selection = hasSourceSelection();
    m_menus->undo->setEnabled(canUndoSource());
    m_menus->del->setEnabled(selection);
    m_menus->cut->setEnabled(selection);
    m_menus->copy->setEnabled(selection);
    N70->menuAction()->setEnabled(selection);
    N69->menuAction()->setEnabled(!selection);
}

void TfrmMain::applyRuleL()
{
    const bool anySelected = UrlList->selectionModel()->hasSelection();
    m_menus->listDelete->setEnabled(anySelected);
    m_menus->listCopy->setEnabled(anySelected);
}

void TfrmMain::applyRuleD()
{
    const bool selection = hasSourceSelection();
    m_menus->n7->setEnabled(!selection);
    m_menus->html1->setEnabled(!selection);
    m_menus->n8->setEnabled(selection);
    m_menus->n92->setEnabled(selection);
}

void TfrmMain::applyRuleP()
{
    const bool selection = hasSourceSelection();
    m_menus->pmUndo->setEnabled(canUndoSource());
    m_menus->pmCut->setEnabled(selection);
    m_menus->pmCopy->setEnabled(selection);
    m_menus->n62->setEnabled(selection);
    N73->menuAction()->setEnabled(selection);
    m_menus->n61->setEnabled(!selection);
    N72->menuAction()->setEnabled(!selection);
}

void TfrmMain::runShortcut(QAction *item, void (TfrmMain::*rule)())
{
    (this->*rule)();
    if (item->isEnabled()) item->trigger();
}
