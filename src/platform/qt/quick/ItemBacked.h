// SPDX-License-Identifier: GPL-3.0-or-later
// Qt Quick views expose their item so that the stage's windows and content views can hold them.
#pragma once

class QQuickItem;

namespace lirra {

class ItemBacked {
  public:
    virtual ~ItemBacked() = default;
    // Owned by the view; it has no parent item until a window or content view adopts it.
    virtual QQuickItem* item() = 0;
};

}  // namespace lirra
