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
    view_.setSize(QSizeF(640, 360));
    if (showFirst) show();
    makePlayer();
    auto check = [this](const Notification& n) {
        allOnMainThread = allOnMainThread && QThread::currentThread() == qApp->thread();
        allFromPlayer = allFromPlayer && n.object == static_cast<MediaPlayer*>(player_.get());
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

PlayerRig::~PlayerRig() {
    player_.reset();  // before its view, as in the app
    view_.setParentItem(nullptr);
}

void PlayerRig::makePlayer() {
    player_.reset();
    player_ = std::make_unique<MpvMediaPlayer>(view_, center_);
}

QQuickWindow& PlayerRig::show() {
    auto& window = *windows_.emplace_back(std::make_unique<QQuickWindow>());
    window.setColor(Qt::green);
    window.resize(640, 360);
    window.show();
    waitFor([&] { return window.isExposed() && window.isSceneGraphInitialized(); }, 5000);
    view_.setParentItem(window.contentItem());
    return window;
}

QImage PlayerRig::grab() { return view_.window() ? view_.window()->grabWindow() : QImage(); }

QRgb PlayerRig::pixelAt(double fromTop) {
    const QImage image = grab();
    if (image.isNull()) return 0;
    return image.pixel(image.width() / 2, static_cast<int>(image.height() * fromTop));
}

bool PlayerRig::showsClip() { return qRed(pixelAt(0.25)) > 200 && qBlue(pixelAt(0.75)) > 200; }

bool PlayerRig::playClip(const QString& path) {
    player_->setMedia({Media::Kind::Path, path});
    player_->play();
    return waitFor([&] { return player_->isPlaying() && showsClip(); });
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
