// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickContentView.h"

#include <algorithm>

#include "QuickGeometry.h"

namespace lirra {

QuickContentView::QuickContentView(QQuickItem& container) : container_(&container) {
    QObject::connect(&container, &QQuickItem::widthChanged, &context_,
                     [this] { containerResized(); });
    QObject::connect(&container, &QQuickItem::heightChanged, &context_,
                     [this] { containerResized(); });
}

QuickContentView::~QuickContentView() = default;

Rect QuickContentView::frame() const { return container_ ? itemFrame(*container_) : Rect{}; }

void QuickContentView::setFrame(const Rect& frame) {
    if (container_) setItemFrame(*container_, frame);
}

bool QuickContentView::isHidden() const { return !container_ || !container_->isVisible(); }

void QuickContentView::setHidden(bool hidden) {
    if (container_) container_->setVisible(!hidden);
}

Rect QuickContentView::bounds() const {
    if (!container_) return Rect{};
    return Rect{Point{0, 0}, Size{container_->width(), container_->height()}};
}

void QuickContentView::addSubview(View& view) {
    auto* backed = dynamic_cast<ItemBacked*>(&view);
    if (backed && backed->item()) adopt(*backed->item());
}

void QuickContentView::adopt(QQuickItem& child) {
    if (!container_) return;
    std::erase_if(adopted_,
                  [&](const Adopted& entry) { return !entry.item || entry.item == &child; });
    adopted_.push_back(Adopted{&child, QMarginsF()});
    child.setParentItem(container_);
    child.setZ(++nextZ_);
    // The topmost view takes the keys once the stage has them.
    child.setFocus(true);
    fitting_ = true;
    child.setPosition(QPointF(0, 0));
    child.setSize(container_->size());
    fitting_ = false;
    // A frame set from outside (View::setFrame) becomes the margins kept from then on.
    for (auto signal : {&QQuickItem::xChanged, &QQuickItem::yChanged, &QQuickItem::widthChanged,
                        &QQuickItem::heightChanged}) {
        QObject::connect(&child, signal, &context_, [this, item = &child] { childMoved(*item); });
    }
}

void QuickContentView::release(QQuickItem& child) {
    std::erase_if(adopted_,
                  [&](const Adopted& entry) { return !entry.item || entry.item == &child; });
    QObject::disconnect(&child, nullptr, &context_, nullptr);
    if (child.parentItem() == container_) child.setParentItem(nullptr);
}

void QuickContentView::childMoved(QQuickItem& child) {
    if (fitting_ || !container_ || child.parentItem() != container_) return;
    for (Adopted& entry : adopted_) {
        if (entry.item != &child) continue;
        entry.margins =
            QMarginsF(child.x(), child.y(), container_->width() - child.x() - child.width(),
                      container_->height() - child.y() - child.height());
    }
}

void QuickContentView::containerResized() {
    if (!container_) return;
    fitting_ = true;
    const QRectF area(QPointF(0, 0), container_->size());
    for (Adopted& entry : adopted_) {
        if (!entry.item || entry.item->parentItem() != container_) continue;
        const QRectF frame = area.marginsRemoved(entry.margins);
        entry.item->setPosition(frame.topLeft());
        entry.item->setSize(frame.size());
    }
    fitting_ = false;
}

}  // namespace lirra
