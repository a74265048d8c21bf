// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickPlayerWindow.h"

#include <QQuickItem>
#include <QWidget>

#include "QtMainWindow.h"
#include "ScreenGeometry.h"
#include "platform/qt/quick/ItemBacked.h"
#include "platform/qt/quick/QuickInputRouting.h"
#include "platform/qt/quick/QuickStage.h"

namespace lirra {

QuickPlayerWindow::QuickPlayerWindow(QtMainWindow& host, const Rect& contentRect)
    : host_(&host), stage_(&host.stage()), layer_(&stage_->addLayer()), contentView_(*layer_) {
    setFrame(contentRect, false);
}

QuickPlayerWindow::~QuickPlayerWindow() {
    routing_.reset();
    if (layer_) stage_->removeLayer(*layer_);  // gives its content views back to their owners
}

void QuickPlayerWindow::attach() {
    if (layer_) stage_->raise(*layer_);
}

Rect QuickPlayerWindow::frame() const {
    if (!layer_) return Rect{};
    const QPointF topLeft = layer_->mapToGlobal(QPointF(0, 0));
    const QRect global(topLeft.toPoint(), layer_->size().toSize());
    return toDesktopRect(global, screenReferenceHeight());
}

void QuickPlayerWindow::setFrame(const Rect& frame, bool /*display*/) {
    if (!layer_ || !layer_->parentItem()) return;
    const QRect global = toQtRect(frame, screenReferenceHeight());
    const QPointF topLeft = layer_->parentItem()->mapFromGlobal(QPointF(global.topLeft()));
    // The stage keeps every layer over its whole area; a different rectangle lasts until the
    // stage's next resize.
    layer_->setPosition(topLeft);
    layer_->setSize(QSizeF(global.size()));
}

void QuickPlayerWindow::setContentView(View& view) {
    auto* backed = dynamic_cast<ItemBacked*>(&view);
    if (!layer_ || !backed || !backed->item()) return;
    QQuickItem* item = backed->item();
    if (content_ && content_ != item) contentView_.release(*content_);
    content_ = item;
    contentView_.adopt(*item);
}

void QuickPlayerWindow::setContentSize(const Size& size) {
    Rect current = frame();
    current.size = size;
    setFrame(current, true);
}

void QuickPlayerWindow::makeKeyWindow() {
    if (!layer_ || !host_) return;
    if (!host_->isActiveWindow()) host_->activateWindow();
    if (QWidget* container = stage_->container()) container->setFocus(Qt::OtherFocusReason);
    QQuickItem* target = content_ ? content_.data() : layer_.data();
    target->forceActiveFocus(Qt::OtherFocusReason);
}

bool QuickPlayerWindow::isKeyWindow() const {
    if (!layer_ || !host_ || !host_->isActiveWindow()) return false;
    const QQuickItem* focus = stage_->window().activeFocusItem();
    return focus && (focus == layer_ || layer_->isAncestorOf(focus));
}

bool QuickPlayerWindow::isVisible() const {
    // Shown over the main window, whether or not the main window is on screen itself.
    return layer_ && layer_->isVisible();
}

void QuickPlayerWindow::close() {
    if (layer_) stage_->hide(*layer_);
}

void QuickPlayerWindow::setEventRouter(EventRouter* router) {
    if (!router || !layer_) {
        routing_.reset();
    } else if (routing_) {
        routing_->setRouter(router);
    } else {
        routing_ = std::make_unique<QuickInputRouting>(stage_->window(), *layer_, router);
    }
}

}  // namespace lirra
