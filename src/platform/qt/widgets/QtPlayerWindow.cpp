#include "QtPlayerWindow.h"

#include <QApplication>
#include <cmath>

#include "InputEventRouting.h"
#include "QtMainWindow.h"
#include "ScreenGeometry.h"
#include "platform/qt/WidgetBacked.h"

namespace lirra {

namespace {

AutoresizingWidget* makeLayer(QtMainWindow& host) {
    auto* layer = new AutoresizingWidget(&host.centralArea());
    // Transparent: paints nothing of its own, so the layers beneath show through.
    layer->setAutoFillBackground(false);
    layer->setFocusPolicy(Qt::StrongFocus);
    host.addLayer(*layer);
    return layer;
}

}  // namespace

QtPlayerWindow::QtPlayerWindow(QtMainWindow& host, const Rect& contentRect)
    : host_(&host), layer_(makeLayer(host)), contentView_(*layer_) {
    setFrame(contentRect, false);
}

QtPlayerWindow::~QtPlayerWindow() {
    routing_.reset();
    delete layer_.data();  // gives its content views back to their owners
}

void QtPlayerWindow::attach() {
    if (!layer_) return;
    layer_->show();
    layer_->raise();
}

Rect QtPlayerWindow::frame() const {
    if (!layer_) return Rect{};
    const QRect global(layer_->mapToGlobal(QPoint(0, 0)), layer_->size());
    return toDesktopRect(global, screenReferenceHeight());
}

void QtPlayerWindow::setFrame(const Rect& frame, bool /*display*/) {
    if (!layer_ || !layer_->parentWidget()) return;
    const QRect global = toQtRect(frame, screenReferenceHeight());
    const QPoint topLeft = layer_->parentWidget()->mapFromGlobal(global.topLeft());
    // The central area's layout keeps every layer over the whole content area; a different
    // rectangle lasts until its next layout pass.
    layer_->setGeometry(QRect(topLeft, global.size()));
}

void QtPlayerWindow::setContentView(View& view) {
    auto* backed = dynamic_cast<WidgetBacked*>(&view);
    if (!layer_ || !backed || !backed->widget()) return;
    QWidget* widget = backed->widget();
    if (content_ && content_ != widget) layer_->release(*content_);
    content_ = widget;
    layer_->adopt(*widget);
}

void QtPlayerWindow::setContentSize(const Size& size) {
    Rect current = frame();
    current.size = size;
    setFrame(current, true);
}

void QtPlayerWindow::makeKeyWindow() {
    if (!layer_ || !host_) return;
    if (!host_->isActiveWindow()) host_->activateWindow();
    QWidget* target = content_ ? content_.data() : layer_.data();
    target->setFocus(Qt::OtherFocusReason);
}

bool QtPlayerWindow::isKeyWindow() const {
    if (!layer_ || !host_ || !host_->isActiveWindow()) return false;
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == layer_ || layer_->isAncestorOf(focus));
}

bool QtPlayerWindow::isVisible() const {
    // Shown over the main window, whether or not the main window is on screen itself.
    return layer_ && !layer_->isHidden();
}

void QtPlayerWindow::close() {
    if (layer_) layer_->hide();
}

void QtPlayerWindow::setEventRouter(EventRouter* router) {
    if (!router || !layer_) {
        routing_.reset();
    } else if (routing_) {
        routing_->setRouter(router);
    } else {
        routing_ = std::make_unique<InputEventRouting>(*layer_, router);
    }
}

}  // namespace lirra
