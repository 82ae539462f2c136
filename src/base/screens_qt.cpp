#include "base/screens_qt.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <vector>

window_geometry::Rect ToGeometryRect(const QRect &rect)
{
    return { rect.x(), rect.y(), rect.width(), rect.height() };
}

QRect ToQRect(const window_geometry::Rect &rect)
{
    const auto toInt = [](std::int64_t v) {
        return static_cast<int>(std::clamp<std::int64_t>(v, -(std::int64_t(1) << 30), std::int64_t(1) << 30));
    };
    return QRect(toInt(rect.x), toInt(rect.y), toInt(rect.width), toInt(rect.height));
}

void RestoreWindowPlace(QWidget *window, std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height)
{
    std::vector<window_geometry::Rect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens.push_back(ToGeometryRect(screen->availableGeometry()));
    // The frame is known only once the window has been shown; until then it counts as nothing.
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    const int extraWidth = frame.width() - inner.width();
    const int extraHeight = frame.height() - inner.height();
    const window_geometry::Rect stored { left, top, std::max<std::int64_t>(width, window->minimumWidth()) + extraWidth,
        std::max<std::int64_t>(height, window->minimumHeight()) + extraHeight };
    const QRect fitted = ToQRect(window_geometry::FitOnScreens(stored, screens));
    window->resize(fitted.width() - extraWidth, fitted.height() - extraHeight);
    window->move(fitted.topLeft());
}

QSize OuterSize(const QWidget *window, const QWidget *shown)
{
    if (window->frameGeometry() != window->geometry()) return window->frameGeometry().size();
    return window->size() + shown->frameGeometry().size() - shown->geometry().size();
}

void MoveFrameTo(QWidget *window, QPoint frameTopLeft, const QWidget *shown)
{
    const bool unframed = window->testAttribute(Qt::WA_WState_Created) && window->frameGeometry() == window->geometry();
    window->move(
        unframed ? frameTopLeft + shown->geometry().topLeft() - shown->frameGeometry().topLeft() : frameTopLeft);
}
