// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickStage.h"

#include <QQmlEngine>
#include <QQuickItem>
#include <QWidget>
#include <algorithm>

namespace lirra {

QuickStage::QuickStage() : view_(new QQuickView) {
    // Letterboxes and the moment before the first page are black, as in the player.
    view_->setColor(Qt::black);
    view_->setResizeMode(QQuickView::SizeRootObjectToView);
    QQuickItem* root = view_->contentItem();
    content_ = new QQuickItem(root);
    layers_.push_back(content_);
    QObject::connect(root, &QQuickItem::widthChanged, root, [this] { fitLayers(); });
    QObject::connect(root, &QQuickItem::heightChanged, root, [this] { fitLayers(); });
    fitLayers();
}

QuickStage::~QuickStage() {
    // Views own their items and may outlive the stage: give them back instead of deleting them.
    for (QQuickItem* layer : layers_) {
        for (QQuickItem* child : layer->childItems()) child->setParentItem(nullptr);
    }
    if (container_) {
        delete container_.data();  // deletes the view with it
    } else {
        delete view_;
    }
}

QQmlEngine& QuickStage::engine() { return *view_->engine(); }

QWidget& QuickStage::container(QWidget* parent) {
    if (!container_) {
        container_ = QWidget::createWindowContainer(view_, parent);
        container_->setFocusPolicy(Qt::StrongFocus);
        container_->setMinimumSize(1, 1);
    }
    return *container_;
}

QQuickItem& QuickStage::addLayer() {
    auto* layer = new QQuickItem(view_->contentItem());
    layer->setVisible(false);
    layers_.push_back(layer);
    fitLayers();
    return *layer;
}

void QuickStage::removeLayer(QQuickItem& layer) {
    if (&layer == content_) return;
    std::erase(layers_, &layer);
    for (QQuickItem* child : layer.childItems()) child->setParentItem(nullptr);
    delete &layer;
    showContentUnlessCovered();
}

void QuickStage::raise(QQuickItem& layer) {
    layer.setZ(++topZ_);
    layer.setVisible(true);
    showContentUnlessCovered();
}

void QuickStage::hide(QQuickItem& layer) {
    layer.setVisible(false);
    showContentUnlessCovered();
}

void QuickStage::showContentUnlessCovered() {
    const bool covered = std::any_of(layers_.begin() + 1, layers_.end(),
                                     [](const QQuickItem* layer) { return layer->isVisible(); });
    const bool uncovered = !covered && !content_->isVisible();
    content_->setVisible(!covered);
    if (!uncovered) return;
    // Keys go back to the topmost shown view (the home page) once no layer covers it.
    QQuickItem* top = nullptr;
    for (QQuickItem* item : content_->childItems()) {
        if (item->isVisible() && (!top || item->z() >= top->z())) top = item;
    }
    if (top) top->forceActiveFocus(Qt::OtherFocusReason);
}

void QuickStage::fitLayers() {
    const QSizeF size = view_->contentItem()->size();
    for (QQuickItem* layer : layers_) {
        layer->setPosition(QPointF(0, 0));
        layer->setSize(size);
    }
}

}  // namespace lirra
