#include "PlayerRig.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

#include "support/qt/QtTestLoop.h"

namespace lirra::test {
namespace {

constexpr QSize kSize(640, 360);

}  // namespace

std::ostream& operator<<(std::ostream& out, Surface surface) {
    return out << (surface == Surface::Widget ? "Widget" : "Quick");
}

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    return runEventLoopUntil(done, std::chrono::milliseconds(timeoutMs));
}

PlayerRig::PlayerRig(Surface surface, bool showFirst) : surface_(surface) {
    if (surface == Surface::Widget) {
        widget_ = std::make_unique<MpvVideoView>();
        widget_->resize(kSize);
    } else {
        quick_ = std::make_unique<QuickVideoView>();
        quick_->setSize(kSize);
    }
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
    if (widget_) widget_->setParent(nullptr);
}

void PlayerRig::makePlayer() {
    player_.reset();
    player_ = std::make_unique<MpvMediaPlayer>(view(), center_);
}

MpvVideoSurface& PlayerRig::view() {
    if (widget_) return *widget_;
    return *quick_;
}

std::unique_ptr<QQuickWindow> PlayerRig::makeWindow() {
    auto window = std::make_unique<QQuickWindow>();
    window->setColor(Qt::green);  // where the view does not draw
    window->resize(kSize);
    window->show();
    QQuickWindow* shown = window.get();
    waitFor([shown] { return shown->isExposed() && shown->isSceneGraphInitialized(); }, 5000);
    return window;
}

void PlayerRig::show() {
    if (widget_) {
        widget_->show();
        waitFor([this] { return widget_->isGlInitialized(); }, 5000);
        return;
    }
    window_ = makeWindow();
    quick_->setParentItem(window_->contentItem());
}

QImage PlayerRig::grab() {
    if (widget_) return widget_->grabFramebuffer();
    QQuickWindow* window = quick_->window();
    return window ? window->grabWindow() : QImage();
}

QRgb PlayerRig::pixelAt(double fromTop) {
    const QImage image = grab();
    if (image.isNull()) return 0;
    return image.pixel(image.width() / 2, static_cast<int>(image.height() * fromTop));
}

bool PlayerRig::moveToAnotherWindow() {
    if (widget_) {
        // Qt gives the widget a new GL context in its new top-level window.
        otherWidgetWindow_ = std::make_unique<QWidget>();
        otherWidgetWindow_->resize(kSize);
        widget_->setParent(otherWidgetWindow_.get());
        widget_->resize(kSize);
        otherWidgetWindow_->show();
        widget_->show();
        return waitFor([this] { return widget_->isGlInitialized(); });
    }
    otherWindow_ = makeWindow();
    quick_->setParentItem(otherWindow_->contentItem());
    return quick_->window() == otherWindow_.get();
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
