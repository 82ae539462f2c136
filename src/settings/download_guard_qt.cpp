#include "settings/download_guard_qt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace
{
DownloadGuard *g_active = nullptr;
}

DownloadGuard::DownloadGuard(QAbstractButton *cancelButton)
    : m_button(cancelButton)
    , m_previous(g_active)
{
    g_active = this;
    if (m_button) {
        m_buttonText = m_button->text();
        m_button->setText(QStringLiteral("中止"));
    }
    qApp->installEventFilter(this);
}

DownloadGuard::~DownloadGuard()
{
    qApp->removeEventFilter(this);
    if (m_button) m_button->setText(m_buttonText);
    g_active = m_previous;
}

DownloadGuard *DownloadGuard::active()
{
    return g_active;
}

http_client::HttpClient::Tick DownloadGuard::tick()
{
    return [this] {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return !m_cancelled;
    };
}

bool DownloadGuard::targetsCancelButton(QObject *watched) const
{
    if (!m_button) return false;
    for (QObject *o = watched; o; o = o->parent()) {
        if (o == m_button) return true;
    }
    return false;
}

bool DownloadGuard::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) m_cancelled = true;
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        // The top-level QWindow hands mouse events on to the widget under the pointer; they
        // are judged there.
        if (!watched->isWidgetType()) return false;
        return !targetsCancelButton(watched);
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::InputMethod:
        return true;
    case QEvent::Close:
        // A window closed by the user now would be torn down under the running request.
        return event->spontaneous();
    default:
        return false;
    }
}
