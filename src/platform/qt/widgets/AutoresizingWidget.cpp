#include "AutoresizingWidget.h"

#include <algorithm>

namespace lirra {

AutoresizingWidget::AutoresizingWidget(QWidget* parent) : QWidget(parent) {}

AutoresizingWidget::~AutoresizingWidget() {
    // Children owned by views outlive this container; QWidget would otherwise delete them.
    for (Adopted& entry : adopted_) {
        if (entry.widget && entry.widget->parentWidget() == this) {
            entry.widget->hide();
            entry.widget->setParent(nullptr);
        }
    }
}

void AutoresizingWidget::adopt(QWidget& child) {
    const bool explicitlyHidden = child.testAttribute(Qt::WA_WState_ExplicitShowHide) &&
                                  child.testAttribute(Qt::WA_WState_Hidden);
    if (child.parentWidget() != this) child.setParent(this);
    std::erase_if(adopted_,
                  [&](const Adopted& entry) { return !entry.widget || entry.widget == &child; });
    adopted_.push_back(Adopted{&child, QMargins()});
    child.setGeometry(rect());
    child.raise();
    if (!explicitlyHidden) child.show();
}

void AutoresizingWidget::release(QWidget& child) {
    std::erase_if(adopted_,
                  [&](const Adopted& entry) { return !entry.widget || entry.widget == &child; });
    if (child.parentWidget() == this) {
        child.hide();
        child.setParent(nullptr);
    }
}

void AutoresizingWidget::noteChildFrame(QWidget& child) {
    for (Adopted& entry : adopted_) {
        if (entry.widget == &child) {
            const QRect frame = child.geometry();
            entry.margins = QMargins(frame.left(), frame.top(), width() - frame.right() - 1,
                                     height() - frame.bottom() - 1);
        }
    }
}

void AutoresizingWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    for (Adopted& entry : adopted_) {
        if (entry.widget && entry.widget->parentWidget() == this)
            entry.widget->setGeometry(rect().marginsRemoved(entry.margins));
    }
}

}  // namespace lirra
