#include "InputEventRouting.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace lirra {

InputEventRouting::InputEventRouting(QWidget& window, EventRouter* router)
    : window_(&window), router_(router) {
    watch(window);
}

InputEventRouting::~InputEventRouting() = default;

void InputEventRouting::watch(QWidget& widget) {
    widget.removeEventFilter(this);  // never twice
    widget.installEventFilter(this);
    for (QWidget* child : widget.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) watch(*child);
}

std::optional<InputEvent> InputEventRouting::translate(const QEvent& event, const QWidget& receiver,
                                                       const QWidget& window) {
    InputEvent result;
    switch (event.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove: {
            const auto& mouse = static_cast<const QMouseEvent&>(event);
            const bool left = mouse.button() == Qt::LeftButton;
            if (left && event.type() == QEvent::MouseButtonPress) {
                result.type = InputEvent::kLeftMouseDown;
                result.clickCount = 1;
            } else if (left && event.type() == QEvent::MouseButtonDblClick) {
                // Qt widgets get the second press of a double click as this event alone.
                result.type = InputEvent::kLeftMouseDown;
                result.clickCount = 2;
            } else if (left && event.type() == QEvent::MouseButtonRelease) {
                result.type = InputEvent::kLeftMouseUp;
                result.clickCount = 1;
            }
            if (mouse.modifiers() & Qt::ControlModifier) result.modifierFlags |= kControlKeyMask;
            const QPointF inWindow = receiver.mapTo(&window, mouse.position());
            result.locationInWindow = Point{inWindow.x(), window.height() - inWindow.y()};
            return result;
        }
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
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

InputEventRouting::Seen InputEventRouting::seenOf(const QInputEvent& event) {
    Seen seen{event.type(), event.timestamp(), event.modifiers(), 0, QPointF()};
    if (const auto* mouse = dynamic_cast<const QMouseEvent*>(&event)) {
        seen.detail = mouse->button();
        seen.where = mouse->globalPosition();
    } else if (const auto* key = dynamic_cast<const QKeyEvent*>(&event)) {
        seen.detail = key->key();
    }
    return seen;
}

bool InputEventRouting::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ChildAdded) {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType()) watch(*static_cast<QWidget*>(child));
        return false;
    }
    if (!router_ || !window_ || !watched->isWidgetType()) return false;
    auto* receiver = static_cast<QWidget*>(watched);
    const auto* input = dynamic_cast<const QInputEvent*>(event);
    if (!input) return false;
    const std::optional<InputEvent> translated = translate(*event, *receiver, *window_);
    if (!translated) return false;

    // An event comes here again when a child widget ignored it and Qt passes it up, or when
    // the web engine hands a key press back that the page did not take: the router has seen it.
    // The engine's hand-back may come after later events, so a few are remembered.
    const Seen seen = seenOf(*input);
    for (const auto& [earlier, receiver] : recent_) {
        if (earlier == seen && receiver != watched) return false;
    }
    recent_.emplace_back(seen, watched);
    if (recent_.size() > kRemembered) recent_.pop_front();

    return !router_->sendEvent(*translated);
}

}  // namespace lirra
