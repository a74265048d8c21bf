// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace lirra {

namespace {

int rounded(double value) { return static_cast<int>(std::lround(value)); }

}  // namespace

Rect toDesktopRect(const QRect& rect, int containerHeight) {
    return Rect{Point{double(rect.x()), double(containerHeight - rect.y() - rect.height())},
                Size{double(rect.width()), double(rect.height())}};
}

QSize fitWithin(const QSize& content, const QSize& bounds) {
    if (content.width() <= bounds.width() && content.height() <= bounds.height()) return content;
    const double scale = std::min(double(bounds.width()) / std::max(content.width(), 1),
                                  double(bounds.height()) / std::max(content.height(), 1));
    return QSize(std::max(1, int(std::floor(content.width() * scale))),
                 std::max(1, int(std::floor(content.height() * scale))));
}

QRect toQtRect(const Rect& rect, int containerHeight) {
    // Round the edges, not the sizes, so that adjacent rectangles stay adjacent.
    const int left = rounded(rect.origin.x);
    const int right = rounded(rect.origin.x + rect.size.width);
    const int bottom = containerHeight - rounded(rect.origin.y);
    const int top = containerHeight - rounded(rect.origin.y + rect.size.height);
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

int screenReferenceHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 0;
    const QRect desktop = screen->virtualGeometry();
    return desktop.y() + desktop.height();
}

}  // namespace lirra
