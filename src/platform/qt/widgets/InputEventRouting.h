// Hands every mouse and key event that reaches a window's widgets to its EventRouter first, in
// the desktop's terms, and swallows the ones the router refuses. Watches the whole widget tree,
// widgets added later included: the web engine's render widget (the focus proxy of a
// QWebEngineView, which receives the real input) appears only once a page is shown.
#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <deque>
#include <optional>
#include <utility>

#include "platform/Window.h"

class QInputEvent;
class QWidget;

namespace lirra {

class InputEventRouting : public QObject {
  public:
    // Positions are measured from the lower-left corner of `window`.
    InputEventRouting(QWidget& window, EventRouter* router);
    ~InputEventRouting() override;

    void setRouter(EventRouter* router) { router_ = router; }

    // The event as the router sees it; none for events it does not see.
    static std::optional<InputEvent> translate(const QEvent& event, const QWidget& receiver,
                                               const QWidget& window);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void watch(QWidget& widget);

    QPointer<QWidget> window_;
    EventRouter* router_;
    // What identifies an event across its deliveries to several widgets.
    struct Seen {
        int type = 0;
        quint64 timestamp = 0;
        Qt::KeyboardModifiers modifiers;
        int detail = 0;  // button or key
        QPointF where;   // global position of a mouse event
        bool operator==(const Seen&) const = default;
    };
    static Seen seenOf(const QInputEvent& event);

    // The last events routed and where, so that the router sees each event once.
    static constexpr std::size_t kRemembered = 16;
    std::deque<std::pair<Seen, QPointer<QObject>>> recent_;
};

}  // namespace lirra
