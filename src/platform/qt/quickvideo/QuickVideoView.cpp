// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickVideoView.h"

#include "MpvQuickRenderer.h"
#include "platform/qt/quick/QuickGeometry.h"

namespace lirra {

QuickVideoView::QuickVideoView(QQuickItem* parent) : QQuickItem(parent) {}

QuickVideoView::~QuickVideoView() {
    // A renderer still attached (the player should have gone first) forgets this view.
    if (Renderer* renderer = renderer_) {
        renderer_ = nullptr;
        renderer->viewDestroyed();
    }
}

void QuickVideoView::setRenderer(Renderer* renderer) {
    renderer_ = renderer;
    if (renderer_) renderer_->windowChanged(window());
}

std::unique_ptr<MpvVideoOutput> QuickVideoView::makeOutput(MpvVideoOutput::Hooks hooks) {
    return std::make_unique<MpvQuickRenderer>(*this, std::move(hooks));
}

Rect QuickVideoView::frame() const { return itemFrame(*this); }

void QuickVideoView::setFrame(const Rect& frame) { setItemFrame(*this, frame); }

void QuickVideoView::setHidden(bool hidden) {
    hidden_ = hidden;
    setVisible(!hidden);
}

void QuickVideoView::setFillScreen(bool fill) {
    if (fill == fillScreen_) return;
    fillScreen_ = fill;
    if (renderer_) renderer_->viewSettingsChanged();
}

void QuickVideoView::setBackColor(const Color& color) {
    if (color == backColor_) return;
    backColor_ = color;
    if (renderer_) renderer_->viewSettingsChanged();
}

void QuickVideoView::itemChange(ItemChange change, const ItemChangeData& data) {
    QQuickItem::itemChange(change, data);
    if (!renderer_) return;
    if (change == ItemSceneChange) {
        renderer_->windowChanged(data.window);
    } else if (change == ItemVisibleHasChanged) {
        renderer_->viewChanged();
    }
}

void QuickVideoView::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (renderer_) renderer_->viewChanged();
}

}  // namespace lirra
