#include "app/gui_startup_qt.h"

#include "app/frm_main.h"
#include "app/user_prompts_qt.h"
#include "extract/frm_ExtHtml.h"
#include "extract/frm_Extraction.h"
#include "settings/file_io.h"
#include "settings/frm_Ctrl.h"
#include "settings/frm_Set.h"
#include "tables/frm_Cnv.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
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

GuiWindows CreateWindows(const settings::AppPaths &paths, UserPrompts *prompts)
{
    // Temporary files of an earlier run that was killed while it saved (the saved files
    // themselves are intact).
    file_io::RemoveStaleTemporaries(paths.configDir);
    GuiWindows w;
    w.main = std::make_unique<TfrmMain>(paths, prompts);
    w.ctrl = std::make_unique<TfrmCtrl>(w.main.get());
    w.ctrl->FormCreate();
    w.cnv = new TfrmCnv(w.main.get());
    w.extraction = new TfrmExtraction(w.main.get());
    w.extHtml = new TfrmExtHtml(w.main.get());
    w.ctrl->hide();
    w.set = std::make_unique<TfrmSet>(w.main.get(), w.ctrl.get());
    w.set->FormCreate();
    w.main->setWindows(w.ctrl.get(), w.cnv, w.extraction, w.extHtml, w.set.get());
    return w;
}

int RunGui(int argc, char **argv, const settings::AppPaths &paths, const std::vector<std::string> &files)
{
    QApplication app(argc, argv);
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
    // Closing the main window ends the program, even while a panel is still open.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(windows.main.get(), &TfrmMain::exitDone, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    windows.main->show();
    if (!files.empty()) windows.main->openStartupFile(QString::fromStdString(files.back()));
    return QApplication::exec();
}
