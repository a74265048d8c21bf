// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickGeometry.h"

#include <QQuickItem>

namespace lirra {

namespace {

double parentHeight(const QQuickItem& item) {
    return item.parentItem() ? item.parentItem()->height() : item.height();
}

}  // namespace

Rect itemFrame(const QQuickItem& item) {
    const double flippedY = parentHeight(item) - item.y() - item.height();
    return Rect{Point{item.x(), flippedY}, Size{item.width(), item.height()}};
}

void setItemFrame(QQuickItem& item, const Rect& frame) {
    item.setSize(QSizeF(frame.size.width, frame.size.height));
    const double topY = parentHeight(item) - frame.origin.y - frame.size.height;
    item.setPosition(QPointF(frame.origin.x, topY));
}

}  // namespace lirra
