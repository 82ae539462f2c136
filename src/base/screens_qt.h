#pragma once
// Window places against the screens of today (window_geometry over Qt's screens).
#include "base/window_geometry.h"

#include <QRect>
#include <cstdint>

class QWidget;

window_geometry::Rect ToGeometryRect(const QRect &rect);
QRect ToQRect(const window_geometry::Rect &rect);

// Places a top-level window from stored values: the frame's top-left corner and the inner size.
// Values that fit the screens are applied unchanged; a place off every screen or a size larger
// than the screen is brought onto the nearest screen (window_geometry::FitOnScreens).
void RestoreWindowPlace(QWidget *window, std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height);

// The outer size a window will have: its frame once shown, else its size with the frame margins
// of an already shown window (the window manager frames them alike).
QSize OuterSize(const QWidget *window, const QWidget *shown);

// Moves a window so that its frame's top-left corner lands on the point. A window created but not
// yet framed would be placed by its inner corner: the frame of the shown window stands in.
void MoveFrameTo(QWidget *window, QPoint frameTopLeft, const QWidget *shown);
