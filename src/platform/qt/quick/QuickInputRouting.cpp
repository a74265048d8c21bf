// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickInputRouting.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStyleHints>
#include <utility>

namespace lirra {

QuickInputRouting::QuickInputRouting(QQuickWindow& window, QQuickItem& layer, EventRouter* router)
    : window_(&window), layer_(&layer), router_(router) {
    window.installEventFilter(this);
}

QuickInputRouting::~QuickInputRouting() {
    if (window_) window_->removeEventFilter(this);
}

int QuickInputRouting::clickCountOf(const QPointF& where) {
    const QStyleHints* hints = QGuiApplication::styleHints();
    const bool second =
        lastPress_.isValid() && lastPress_.elapsed() < hints->mouseDoubleClickInterval() &&
        (where - lastPressAt_).manhattanLength() <= hints->mouseDoubleClickDistance();
    if (second) {
        lastPress_.invalidate();  // a third press starts over
        return 2;
    }
    lastPress_.start();
    lastPressAt_ = where;
    return 1;
}

std::optional<InputEvent> QuickInputRouting::translate(const QEvent& event) {
    InputEvent result;
    switch (event.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove: {
            const auto& mouse = static_cast<const QMouseEvent&>(event);
            const QPointF inLayer = layer_->mapFromScene(mouse.scenePosition());
            if (!layer_->contains(inLayer)) return std::nullopt;
            const bool left = mouse.button() == Qt::LeftButton;
            if (left && event.type() == QEvent::MouseButtonPress) {
                result.type = InputEvent::kLeftMouseDown;
                result.clickCount = clickCountOf(mouse.scenePosition());
            } else if (left && event.type() == QEvent::MouseButtonRelease) {
                result.type = InputEvent::kLeftMouseUp;
                result.clickCount = 1;
            }
            if (mouse.modifiers() & Qt::ControlModifier) result.modifierFlags |= kControlKeyMask;
            result.locationInWindow = Point{inLayer.x(), layer_->height() - inLayer.y()};
            return result;
        }
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            QQuickItem* focus = window_->activeFocusItem();
            if (!focus || (focus != layer_ && !layer_->isAncestorOf(focus))) return std::nullopt;
            const auto& key = static_cast<const QKeyEvent&>(event);
            if (event.type() == QEvent::KeyPress) result.type = InputEvent::kKeyDown;
            if (key.key() == Qt::Key_Escape) result.keyCode = kEscapeKeyCode;
            if (key.modifiers() & Qt::ControlModifier) result.modifierFlags |= kControlKeyMask;
            return result;
        }
        default:
            return std::nullopt;
    }
}

void QuickInputRouting::releaseOnGrabber(const QMouseEvent& release) {
    if (!grabber_) return;
    QMouseEvent copy(QEvent::MouseButtonRelease, grabber_->mapFromScene(release.scenePosition()),
                     release.scenePosition(), release.globalPosition(), release.button(),
                     release.buttons(), release.modifiers(), release.pointingDevice());
    QCoreApplication::sendEvent(grabber_, &copy);
}

bool QuickInputRouting::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || !router_ || !layer_ || !layer_->isVisible()) return false;
    // The double-click event of a refused press goes with it.
    if (event->type() == QEvent::MouseButtonDblClick) return swallowedPress_;
    const std::optional<InputEvent> translated = translate(*event);
    if (!translated) return false;
    const bool deliver = router_->sendEvent(*translated);
    if (event->type() == QEvent::MouseButtonPress) swallowedPress_ = !deliver;
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto& mouse = static_cast<const QMouseEvent&>(*event);
        // The page still gets the release of a refused press: after a double click it has seen
        // both releases and the first press. No item grabbed that press, so the one that took
        // the press before (whose grab the first release still shows) is given it.
        if (std::exchange(swallowedPress_, false)) {
            if (deliver) releaseOnGrabber(mouse);
            return true;
        }
        if (!mouse.points().isEmpty())
            grabber_ = qobject_cast<QQuickItem*>(mouse.exclusiveGrabber(mouse.points().first()));
    }
    return !deliver;
}

}  // namespace lirra
