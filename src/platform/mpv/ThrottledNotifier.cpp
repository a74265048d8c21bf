// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThrottledNotifier.h"

#include <algorithm>

#include "platform/MediaPlayer.h"

namespace lirra {

ThrottledNotifier::ThrottledNotifier(NotificationCenter& center, const void* sender,
                                     std::function<Status()> status)
    : center_(center),
      sender_(sender),
      status_(std::move(status)),
      postedState_(kMediaPlayerStateStopped) {
    timeTimer_.setSingleShot(true);
    QObject::connect(&timeTimer_, &QTimer::timeout, &context_, [this] { notifyNow(); });
}

void ThrottledNotifier::timeChanged(bool changed, bool atOnce) {
    timeDirty_ = timeDirty_ || changed;
    forceTimePost_ = forceTimePost_ || atOnce;
}

void ThrottledNotifier::schedule() {
    QMetaObject::invokeMethod(
        &context_, [this] { notifyNow(); }, Qt::QueuedConnection);
}

bool ThrottledNotifier::timeDue() const {
    return timeDirty_ &&
           (forceTimePost_ || std::chrono::steady_clock::now() - lastTimePost_ >= kTimeInterval);
}

void ThrottledNotifier::notifyNow() {
    // Observers may run a nested event loop that drains more events; the outermost call
    // keeps posting until nothing is left to tell.
    if (notifying_) return;
    notifying_ = true;
    const std::weak_ptr<int> alive = lifetime_;
    for (;;) {
        const Status status = status_();
        // Reaching the end is told even when the state number stays paused, so an observer
        // reading the position then sees the end.
        if (status.state != postedState_ || (status.atEnd && !postedAtEnd_) || forceStatePost_) {
            postedState_ = status.state;
            postedAtEnd_ = status.atEnd;
            forceStatePost_ = false;
            center_.post(kMediaPlayerStateChanged, sender_);
            if (alive.expired()) return;
            continue;
        }
        if (!status.atEnd) postedAtEnd_ = false;
        if (timeDue()) {
            timeDirty_ = false;
            forceTimePost_ = false;
            lastTimePost_ = std::chrono::steady_clock::now();
            center_.post(kMediaPlayerTimeChanged, sender_);
            if (alive.expired()) return;
            continue;
        }
        break;
    }
    notifying_ = false;
    if (timeDirty_ && !timeTimer_.isActive()) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
            lastTimePost_ + kTimeInterval - std::chrono::steady_clock::now());
        timeTimer_.start(std::max<int>(1, static_cast<int>(wait.count())));
    }
}

}  // namespace lirra
