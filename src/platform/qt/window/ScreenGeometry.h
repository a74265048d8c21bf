// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions between Qt's top-left rectangles and the desktop convention of Geometry.h
// (origin at the lower-left, y upwards), on the screen.
#pragma once

#include <QRect>
#include <QSize>

#include "platform/Geometry.h"

namespace lirra {

// Flips a rectangle within a screen (or container) of height `containerHeight`.
Rect toDesktopRect(const QRect& rect, int containerHeight);
QRect toQtRect(const Rect& rect, int containerHeight);

// `content` scaled down to fit `bounds` with its aspect ratio kept (unchanged when it fits);
// at least 1 by 1.
QSize fitWithin(const QSize& content, const QSize& bounds);

// The height the screen convention is measured from: the bottom edge of the virtual desktop,
// so that one point has the same desktop coordinates whatever screen it is on.
int screenReferenceHeight();

}  // namespace lirra
