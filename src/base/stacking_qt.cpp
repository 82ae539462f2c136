#include "base/stacking_qt.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

void KeepAboveProgramWindows(QWidget *dialog)
{
    bool onTop = false;
    for (const QWidget *window : QApplication::topLevelWidgets()) {
        if (window != dialog && window->isVisible() && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
            onTop = true;
    }
    if (dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop)
        dialog->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    // With no transient parent the dialog is transient for the program's window group.
    dialog->winId();
    dialog->windowHandle()->setTransientParent(nullptr);
}
