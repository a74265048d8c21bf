// SPDX-License-Identifier: GPL-3.0-or-later
// Item frames in the controllers' convention (lower-left origin, in the parent item's
// coordinates); an item without a parent counts from its own top-left corner.
#pragma once

#include "platform/Geometry.h"

class QQuickItem;

namespace lirra {

Rect itemFrame(const QQuickItem& item);
void setItemFrame(QQuickItem& item, const Rect& frame);

}  // namespace lirra
