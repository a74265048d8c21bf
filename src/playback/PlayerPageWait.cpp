// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlayerPageWait.h"

#include <any>
#include <utility>

namespace lirra {

PlayerPageWait::PlayerPageWait(NotificationCenter& center, std::chrono::milliseconds bound)
    : center_(center) {
    bound_.setSingleShot(true);
    bound_.setInterval(bound);
    QObject::connect(&bound_, &QTimer::timeout, [this] { finish(Outcome::BoundPassed); });
}

PlayerPageWait::~PlayerPageWait() { cancel(); }

void PlayerPageWait::begin(const WebView& page, std::function<void(Outcome)> ready) {
    cancel();
    ready_ = std::move(ready);
    // A finish before the load has started is that of a load this one replaced.
    loadStarted_ = false;
    startObserver_ = center_.addObserver(kWebViewProgressStartedNotification, &page,
                                         [this](const Notification&) { loadStarted_ = true; });
    observer_ = center_.addObserver(
        kWebViewProgressFinishedNotification, &page, [this](const Notification& notification) {
            if (!loadStarted_) return;
            const auto failed = notification.userInfo.find(kWebViewLoadFailedKey);
            const bool* didFail = failed != notification.userInfo.end()
                                      ? std::any_cast<bool>(&failed->second)
                                      : nullptr;
            finish(didFail && *didFail ? Outcome::PageFailed : Outcome::PageLoaded);
        });
    bound_.start();
}

void PlayerPageWait::cancel() {
    bound_.stop();
    if (observer_) center_.removeObserver(observer_);
    if (startObserver_) center_.removeObserver(startObserver_);
    observer_ = 0;
    startObserver_ = 0;
    ready_ = nullptr;
}

void PlayerPageWait::finish(Outcome outcome) {
    // Cleared first: `ready` may begin a new wait.
    std::function<void(Outcome)> ready = std::exchange(ready_, nullptr);
    cancel();
    if (ready) ready(outcome);
}

}  // namespace lirra
