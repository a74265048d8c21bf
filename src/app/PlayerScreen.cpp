// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PlayerScreen.h"

#include "bridge/PageEvents.h"

namespace lirra {

PlayerScreen::PlayerScreen(Platform& platform, AppState& state, Screens& screens,
                           WebPolicyDelegate& policyDelegate, WebUIDelegate& uiDelegate,
                           DragReceiver& dragReceiver, Hooks hooks)
    : platform_(platform),
      state_(state),
      screens_(screens),
      policyDelegate_(policyDelegate),
      uiDelegate_(uiDelegate),
      dragReceiver_(dragReceiver),
      hooks_(std::move(hooks)),
      keyableWindow_(platform.mainWindow(), [this] { return playerWebView(); }) {}

PlayerScreen::~PlayerScreen() {
    if (stateObserver_) platform_.notificationCenter().removeObserver(stateObserver_);
    if (timeObserver_) platform_.notificationCenter().removeObserver(timeObserver_);
}

MediaPlayer* PlayerScreen::player() {
    return vlcVideoViewController_ ? &vlcVideoViewController_->player() : nullptr;
}

WebView* PlayerScreen::playerWebView() {
    return playerWebViewController_ ? &playerWebViewController_->view() : nullptr;
}

Rect PlayerScreen::placementRect() {
    Window& main = platform_.mainWindow();
    return Rect{main.frame().origin, main.contentView().bounds().size};
}

void PlayerScreen::loadPlayerScreen() {
    if (hooks_.hideLoader) hooks_.hideLoader();

    if (!vlcVideoViewController_) {
        vlcVideoViewController_ = std::make_unique<VideoViewController>(platform_);
        playerWebViewController_ = std::make_unique<WebViewController>(platform_, state_);
        WebView& page = playerWebViewController_->view();
        page.setPolicyDelegate(&policyDelegate_);
        page.setUIDelegate(&uiDelegate_);
        page.setDragReceiver(&dragReceiver_);
        // A file dropped on the player page ends the video and starts the dropped one.
        page.registerForDraggedFileNames();
        vlcVideoViewController_->webViewController = playerWebViewController_.get();

        NotificationCenter& center = platform_.notificationCenter();
        const void* engine = static_cast<const void*>(&vlcVideoViewController_->player());
        stateObserver_ = center.addObserver(kMediaPlayerStateChanged, engine, [this](auto&) {
            if (hooks_.mediaPlayerStateChanged) hooks_.mediaPlayerStateChanged();
        });
        timeObserver_ = center.addObserver(kMediaPlayerTimeChanged, engine, [this](auto&) {
            if (hooks_.mediaPlayerTimeChanged) hooks_.mediaPlayerTimeChanged();
        });
    }

    if (!vlcViewWindow_) {
        const Rect rect = placementRect();
        playerWebViewWindow_ = platform_.createPlayerWindow(rect);
        vlcViewWindow_ = platform_.createPlayerWindow(rect);
        playerWebViewWindow_->setEventRouter(&keyableWindow_);
        playerWebViewWindow_->setContentView(playerWebViewController_->view());
        vlcViewWindow_->setContentView(vlcVideoViewController_->view());
        const Rect bounds = platform_.mainWindow().contentView().bounds();
        vlcVideoViewController_->view().setFrame(bounds);
        playerWebViewController_->view().setFrame(bounds);
    }

    // Attaching shows windows that an earlier return home closed; the overlay goes on top.
    Window& main = platform_.mainWindow();
    main.addChildWindow(*vlcViewWindow_);
    main.addChildWindow(*playerWebViewWindow_);
    playerWebViewWindow_->makeKeyWindow();
}

void PlayerScreen::repositionWindows() {
    if (!vlcViewWindow_ || !playerWebViewWindow_) return;
    const Rect rect = placementRect();
    vlcViewWindow_->setFrame(rect, true);
    playerWebViewWindow_->setFrame(rect, true);
}

void PlayerScreen::exitFullscreen() {
    Window& main = platform_.mainWindow();
    if (main.isFullScreen()) main.toggleFullScreen();
}

void PlayerScreen::sendPageEvent(const QString& name) { triggerPageEvent(playerWebView(), name); }

void PlayerScreen::windowDidResize() {
    repositionWindows();
    sendPageEvent(QString::fromLatin1(kResizedEvent));
}

void PlayerScreen::windowDidMove() { repositionWindows(); }

void PlayerScreen::windowDidBecomeKey() {
    // Only while shown: a closed overlay taking key focus would leave the home page deaf to keys.
    if (playerWebViewWindow_ && playerWebViewWindow_->isVisible()) {
        playerWebViewWindow_->makeKeyWindow();
    }
}

bool PlayerScreen::windowShouldClose() {
    // The close button leaves the player for the home screen; on the home screen it quits.
    if (playerWebViewWindow_ && playerWebViewWindow_->isVisible()) {
        screens_.loadHomeScreen();
    } else {
        platform_.application().terminate();
    }
    return false;
}

void PlayerScreen::windowDidEnterFullScreen() {
    sendPageEvent(QString::fromLatin1(kEnteredFullscreenEvent));
}

void PlayerScreen::windowDidExitFullScreen() {
    sendPageEvent(QString::fromLatin1(kLeftFullscreenEvent));
}

}  // namespace lirra
