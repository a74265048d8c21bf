// SPDX-License-Identifier: GPL-3.0-or-later
// Posts the player's two notifications on the main thread: a state change whenever the state
// (or reaching the end) differs from what was last told, and time changes at most ten times a
// second, except that a seek, the start and the end are told at once.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "platform/NotificationCenter.h"

namespace lirra {

class ThrottledNotifier {
  public:
    struct Status {
        int state;   // a MediaPlayerState
        bool atEnd;  // the media was played to its end
    };
    static constexpr auto kTimeInterval = std::chrono::milliseconds(100);

    // Posts to `center` with `sender` as the object; `status` is read before every post.
    ThrottledNotifier(NotificationCenter& center, const void* sender,
                      std::function<Status()> status);

    // The position changed (`changed`); `atOnce`: tell the next change without waiting.
    void timeChanged(bool changed, bool atOnce);
    // The next post tells the state even when it did not change.
    void forceState() { forceStatePost_ = true; }
    // Posts what is due from the event loop, never inside the caller's own call: observers
    // may call back into the player.
    void schedule();
    // Posts what is due now. An observer may destroy the player, and this with it: nothing is
    // touched after a post that did.
    void notifyNow();

  private:
    bool timeDue() const;

    QObject context_;  // receiver of posted work; deleting it drops what is still queued
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
    NotificationCenter& center_;
    const void* sender_;
    std::function<Status()> status_;
    QTimer timeTimer_;

    bool notifying_ = false;
    int postedState_;
    bool postedAtEnd_ = false;
    bool forceStatePost_ = false;
    bool timeDirty_ = false;
    bool forceTimePost_ = false;
    std::chrono::steady_clock::time_point lastTimePost_{};
};

}  // namespace lirra
