#include "QtContentView.h"

#include "ScreenGeometry.h"

namespace lirra {

QtContentView::QtContentView(AutoresizingWidget& container) : container_(&container) {}

Rect QtContentView::frame() const { return container_ ? frameInParent(*container_) : Rect{}; }

void QtContentView::setFrame(const Rect& frame) {
    if (container_) setFrameInParent(*container_, frame);
}

bool QtContentView::isHidden() const { return !container_ || container_->isHidden(); }

void QtContentView::setHidden(bool hidden) {
    if (container_) container_->setHidden(hidden);
}

Rect QtContentView::bounds() const {
    if (!container_) return Rect{};
    return Rect{Point{0, 0}, Size{double(container_->width()), double(container_->height())}};
}

void QtContentView::addSubview(View& view) {
    auto* backed = dynamic_cast<WidgetBacked*>(&view);
    if (!container_ || !backed || !backed->widget()) return;
    container_->adopt(*backed->widget());
}

}  // namespace lirra
