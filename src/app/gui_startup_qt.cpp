#include "app/gui_startup_qt.h"

#include "app/frm_main.h"
#include "app/memory_guard_qt.h"
#include "app/single_window_qt.h"
#include "base/file_io.h"
#include "base/user_prompts_qt.h"
#include "encoding/message_quote.h"
#include "extract/frm_ext_html.h"
#include "extract/frm_extraction.h"
#include "settings/frm_ctrl.h"
#include "settings/frm_set.h"
#include "settings/settings_file_qt.h"
#include "settings/window_settings.h"
#include "tables/frm_cnv.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

GuiWindows::GuiWindows() = default;
GuiWindows::GuiWindows(GuiWindows &&) noexcept = default;

GuiWindows::~GuiWindows()
{
    set.reset();
    ctrl.reset();
    main.reset();
}

// The resources live in a static library, whose registration the linker would drop.
void InitLanzoResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(lanzo);
        return true;
    }();
    (void)done;
}

QFont LanzoFont()
{
    QFont font;
    font.setFamilies({ QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"),
        QStringLiteral("VL PGothic"), QStringLiteral("Sans") });
    font.setPixelSize(12);
    return font;
}

GuiWindows CreateWindows(const app_paths::AppPaths &paths, UserPrompts *prompts)
{
    // Temporary files of an earlier run that was killed while it saved (the saved files
    // themselves are intact).
    file_io::RemoveStaleTemporaries(paths.configDir);
    GuiWindows w;
    w.main = std::make_unique<TfrmMain>(paths, prompts);
    TfrmMain *main = w.main.get();
    // lanzo.ini is read once, as the main window starts; each window restores its part of it.
    window_settings::WindowSettings stored;
    RunStartupStep(prompts, main, [&] {
        // An unreadable lanzo.ini counts as a missing one: the defaults apply.
        const error::Result<std::string> ini = ReadSettingsFileTelling(prompts, main, paths.windowFile);
        stored = window_settings::ParseWindowSettings(ini ? std::string_view(*ini) : std::string_view());
        main->FormCreate(stored.main);
    });

    w.ctrl = std::make_unique<TfrmCtrl>(*main, main, paths, prompts);
    QObject::connect(w.ctrl.get(), &TfrmCtrl::linkExtractionRequested, main, &TfrmMain::HTML1Click);
    QObject::connect(w.ctrl.get(), &TfrmCtrl::urlCorrectionRequested, main, &TfrmMain::UrlCorrectClick);
    QObject::connect(w.ctrl.get(), &TfrmCtrl::stayOnTopRequested, main, &TfrmMain::setStayOnTop);
    RunStartupStep(prompts, main, [&] { w.ctrl->FormCreate(stored.ctrl); });
    w.cnv = new TfrmCnv(main);
    w.extraction = new TfrmExtraction(main);
    w.extHtml = new TfrmExtHtml(main);
    w.ctrl->hide();

    w.set = std::make_unique<TfrmSet>(main, w.ctrl.get(), paths, prompts);
    QObject::connect(w.set.get(), &TfrmSet::listWidthRequested, main, &TfrmMain::setUrlListWidth);
    QObject::connect(w.set.get(), &TfrmSet::listShownRequested, main, &TfrmMain::setUrlListShown);
    RunStartupStep(prompts, main, [&] { w.set->FormCreate(stored.set); });
    main->setWindows(w.ctrl.get(), w.cnv, w.extraction, w.extHtml, w.set.get());
    return w;
}

namespace
{

// Wayland lets no program place its windows or keep one on top of the others, which the panels
// and the restored positions need: where an X display is offered too, the window runs on it.
// QT_QPA_PLATFORM set by the user still decides. The choice is not passed on to the programs the
// window starts (the browser).
bool PreferX11()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    qputenv("QT_QPA_PLATFORM", "xcb;wayland");
    return true;
}

// A later start on this home: the window comes to the front (its modal dialog above it) and
// opens the last file, as for a start with files.
void TakeOver(TfrmMain *main, const QStringList &files)
{
    if (main->isMinimized()) main->setWindowState(main->windowState() & ~Qt::WindowMinimized);
    main->show();
    main->raise();
    main->activateWindow();
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
    if (!files.isEmpty()) main->openStartupFile(files.back());
}

} // namespace

int RunGui(int argc, char **argv, const app_paths::AppPaths &paths, const std::vector<std::string> &files)
{
    const bool preferX11 = PreferX11();
    LanzoApplication app(argc, argv);
    if (preferX11) qunsetenv("QT_QPA_PLATFORM");

    SingleWindow single(paths.home, paths.configDir);
    switch (single.claim(files)) {
    case SingleWindow::Outcome::HandedOver:
        return 0;
    case SingleWindow::Outcome::NoAnswer:
        QMessageBox::critical(nullptr, QStringLiteral("Lanzo"),
            QStringLiteral("このフォルダーを使う Lanzo のウィンドウが応答しません。\n")
                + QString::fromStdString(message_quote::Quoted(paths.home)));
        return 1;
    case SingleWindow::Outcome::First:
        break;
    }
    InitLanzoResources();
    QGuiApplication::setDesktopFileName(QStringLiteral("jp.lanzo.Lanzo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/lanzo.svg")));
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTranslator);
    QApplication::setFont(LanzoFont());

    QtUserPrompts prompts;
    GuiWindows windows = CreateWindows(paths, &prompts);
    app.setPrompts(&prompts, windows.main.get());
    // Closing the main window ends the program, even while a panel is still open.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(windows.main.get(), &TfrmMain::exitDone, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&single, &SingleWindow::handedOver, windows.main.get(),
        [main = windows.main.get()](const QStringList &handed) { TakeOver(main, handed); });
    windows.main->show();
    if (!files.empty()) windows.main->openStartupFile(QString::fromStdString(files.back()));
    return QApplication::exec();
}
