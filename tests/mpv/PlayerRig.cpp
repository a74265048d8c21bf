#include "PlayerRig.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

#include "support/qt/QtTestLoop.h"

namespace lirra::test {

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    return runEventLoopUntil(done, std::chrono::milliseconds(timeoutMs));
}

PlayerRig::PlayerRig(bool showFirst) {
    view_.resize(640, 360);
    if (showFirst) show();
    player_ = std::make_unique<MpvMediaPlayer>(view_, center_);
    const void* sender = static_cast<MediaPlayer*>(player_.get());
    auto check = [this, sender](const Notification& n) {
        allOnMainThread = allOnMainThread && QThread::currentThread() == qApp->thread();
        allFromPlayer = allFromPlayer && n.object == sender;
    };
    center_.addObserver(kMediaPlayerStateChanged, nullptr, [this, check](const Notification& n) {
        check(n);
        states.push_back(
            {player_->state(), player_->isPlaying(), player_->time(), player_->length()});
    });
    center_.addObserver(kMediaPlayerTimeChanged, nullptr, [this, check](const Notification& n) {
        check(n);
        times.push_back(player_->time());
    });
}

void PlayerRig::show() {
    view_.show();
    waitFor([this] { return view_.isGlInitialized(); }, 5000);
}

bool PlayerRig::restsAtEnd() const {
    return std::any_of(states.begin(), states.end(), [](const StateRecord& r) {
        return r.state == kMediaPlayerStatePaused && r.time && r.length && *r.length > 0 &&
               *r.time >= *r.length - 1000;
    });
}

bool PlayerRig::reached(int state) const {
    return std::any_of(states.begin(), states.end(),
                       [state](const StateRecord& r) { return r.state == state; });
}

}  // namespace lirra::test
