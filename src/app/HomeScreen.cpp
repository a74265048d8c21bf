// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HomeScreen.h"

#include "bridge/PageEvents.h"

namespace lirra {

HomeScreen::HomeScreen(Platform& platform, AppState& state, const AppConfig& config,
                       PlayerScreen& playerScreen, WebPolicyDelegate& policyDelegate,
                       LDragReceiverWebView& dragReceiver)
    : platform_(platform),
      state_(state),
      config_(config),
      playerScreen_(playerScreen),
      policyDelegate_(policyDelegate),
      dragReceiver_(dragReceiver) {}

HomeScreen::~HomeScreen() {
    if (startedObserver_) platform_.notificationCenter().removeObserver(startedObserver_);
    if (finishedObserver_) platform_.notificationCenter().removeObserver(finishedObserver_);
}

void HomeScreen::build() {
    homeWebViewController_ = std::make_unique<WebViewController>(platform_, state_, true);
    loaderViewController_ = std::make_unique<LoaderViewController>(platform_);
    ContentView& content = platform_.mainWindow().contentView();
    WebView& page = homeWebViewController_->view();
    LoaderView& loader = loaderViewController_->view();
    page.setFrame(content.bounds());
    loader.setFrame(content.bounds());

    NotificationCenter& center = platform_.notificationCenter();
    const void* sender = static_cast<const void*>(&page);
    startedObserver_ = center.addObserver(kWebViewProgressStartedNotification, sender,
                                          [this](auto&) { homeScreenConnecting(); });
    finishedObserver_ = center.addObserver(
        kWebViewProgressFinishedNotification, sender, [this](const Notification& notification) {
            const auto failed = notification.userInfo.find(kWebViewLoadFailedKey);
            const bool* isFailed = failed != notification.userInfo.end()
                                       ? std::any_cast<bool>(&failed->second)
                                       : nullptr;
            if (isFailed && *isFailed) {
                homeScreenFailed();
            } else {
                homeScreenConnected();
            }
        });
    page.setPolicyDelegate(&policyDelegate_);
    page.setDragReceiver(&dragReceiver_);
    loader.setCancelAction([this] {
        if (cancel_) cancel_();
    });

    // The page draws no background: the loader shows through it, and fully when it is hidden.
    content.addSubview(loader);
    content.addSubview(page);
}

void HomeScreen::loadHomeScreen() {
    playerScreen_.exitFullscreen();
    if (!homeWebViewController_) build();

    if (MediaPlayer* player = playerScreen_.player()) player->stop();
    Window* video = playerScreen_.vlcViewWindow();
    Window* overlay = playerScreen_.playerWebViewWindow();
    if ((video && video->isVisible()) || (overlay && overlay->isVisible())) {
        playerScreen_.playerWebViewController()->clear();
        if (video) video->close();
        if (overlay) overlay->close();
    }

    // Lifts the aspect ratio that playback put on the main window.
    platform_.mainWindow().setContentResizeIncrements(Size{1.0, 1.0});
    state_.playbackStarted = false;
    homeWebViewController_->view().setHidden(false);

    if (state_.homePageReady) {
        loaderViewController_->hideLoader();
        triggerPageEvent(&homeWebViewController_->view(), QString::fromLatin1(kRefreshLevelEvent));
    } else {
        homeWebViewController_->loadUrl(config_.baseUrl + QStringLiteral("Player/Home"));
    }
}

void HomeScreen::homeScreenConnecting() {
    dragReceiver_.isDraggable(false);
    state_.homePageReady = false;
    loaderViewController_->showLoader(QString::fromLatin1(kConnectingText));
}

void HomeScreen::homeScreenFailed() {
    const LoaderView& loader = loaderViewController_->view();
    const bool connecting = !loader.isLabelHidden() && loader.labelText() == kConnectingText;
    homeScreenConnected();
    // The engine's error page would stand blank over the loader: the loader says what is wrong
    // instead, until the next return home loads the page again.
    if (connecting) {
        homeWebViewController_->view().setHidden(true);
        loaderViewController_->showLoader(QString::fromLatin1(kUnreachableText));
        loaderViewController_->view().stopAnimation();
    }
    if (loadFailed_) loadFailed_();
}

void HomeScreen::homeScreenConnected() {
    // Any other text (a video being searched for) stays shown.
    if (loaderViewController_->view().labelText() == QLatin1String(kConnectingText)) {
        loaderViewController_->hideLoader();
    }
}

}  // namespace lirra
