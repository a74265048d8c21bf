// SPDX-License-Identifier: GPL-3.0-or-later
// Hands the mouse and key events of one layer of the stage to its EventRouter before any item
// sees them, in the desktop's terms, and swallows the ones the router refuses. Mouse events count
// when they fall on the shown layer, key events while the layer holds the active focus.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <optional>

#include "platform/Window.h"

class QMouseEvent;
class QQuickItem;
class QQuickWindow;

namespace lirra {

class QuickInputRouting : public QObject {
  public:
    // Positions are measured from the lower-left corner of `layer`.
    QuickInputRouting(QQuickWindow& window, QQuickItem& layer, EventRouter* router);
    ~QuickInputRouting() override;

    void setRouter(EventRouter* router) { router_ = router; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::optional<InputEvent> translate(const QEvent& event);
    // Qt Quick gets both presses of a double click (and a double-click event between them);
    // the router wants the second press marked as such.
    int clickCountOf(const QPointF& where);
    // Sends a copy of `release` to the item that grabbed the last delivered press.
    void releaseOnGrabber(const QMouseEvent& release);

    QPointer<QQuickWindow> window_;
    QPointer<QQuickItem> layer_;
    EventRouter* router_;
    QElapsedTimer lastPress_;
    QPointF lastPressAt_;
    bool swallowedPress_ = false;   // its double-click event goes too
    QPointer<QQuickItem> grabber_;  // of the last press the page got
};

}  // namespace lirra
