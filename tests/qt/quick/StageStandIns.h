// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-ins for what the stage carries: an item counting the presses, releases and keys reaching
// it (as a page: takes clicks, a focus scope); a router recording what it is sent, refusing some.
#pragma once

#include <QKeyEvent>
#include <QMouseEvent>
#include <QQuickItem>
#include <vector>

#include "platform/Window.h"

namespace lirra::test {

class CountingItem : public QQuickItem {
  public:
    explicit CountingItem(bool asPage = true) {
        setAcceptedMouseButtons(asPage ? Qt::LeftButton : Qt::NoButton);
        setFlag(ItemIsFocusScope, asPage);
    }
    int presses = 0, releases = 0, keys = 0;

  protected:
    void mousePressEvent(QMouseEvent* event) override { event->accept(), ++presses; }
    void mouseReleaseEvent(QMouseEvent* event) override { event->accept(), ++releases; }
    void keyPressEvent(QKeyEvent* event) override { event->accept(), ++keys; }
};

class RecordingRouter : public EventRouter {
  public:
    bool sendEvent(const InputEvent& event) override {
        if (event.type != InputEvent::kOther) events.push_back(event);
        return !(refuseDoubleClicks && event.clickCount == 2) &&
               !(refuseKeys && event.type == InputEvent::kKeyDown);
    }
    std::vector<InputEvent> events;
    bool refuseDoubleClicks = false, refuseKeys = false;
};

}  // namespace lirra::test
