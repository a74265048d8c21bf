// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppDelegate.h"

#include <QFileInfo>
#include <utility>

#include "platform/Log.h"
#include "service/ServiceEnvironment.h"

namespace lirra {

AppDelegate::AppDelegate(Platform& platform, AppConfig config)
    : platform_(platform),
      config_(std::move(config)),
      hash_(platform.notificationCenter(), platform.httpClient()),
      bridge_({.state = state_,
               .config = config_,
               .application = platform.application(),
               .mainThread = platform.mainThread(),
               .mainWindow = platform.mainWindow(),
               .screens = *this,
               .intake = *this,
               .views = *this}),
      intake_(state_, platform.application(), homeScreen_, hash_),
      dragReceiver_(state_, *this, *this,
                    [this] {
                        WebView* home = homeWebView();
                        return home && home->isHidden();
                    }),
      playerScreen_(platform, state_, *this, bridge_, intake_, dragReceiver_,
                    PlayerScreen::Hooks{
                        .hideLoader = [this] { hideLoader(); },
                        .mediaPlayerStateChanged = [this] { relay_.mediaPlayerStateChanged(); },
                        .mediaPlayerTimeChanged = [this] { relay_.mediaPlayerTimeChanged(); },
                    }),
      homeScreen_(platform, state_, config_, playerScreen_, bridge_, dragReceiver_),
      fileMenuController_(platform.application(), *this),
      lookup_(state_, config_, platform.httpClient(), platform.application(), *this,
              platform.userDefaults(), platform.mainThread(), platform.notificationCenter()),
      playbackContext_(PlaybackContext{
          .state = state_,
          .config = config_,
          .application = platform.application(),
          .screens = *this,
          .mainWindow = platform.mainWindow(),
          .player = [this] { return player(); },
          .videoView = [this]() -> VideoView* {
              VideoViewController* video = playerScreen_.vlcVideoViewController();
              return video ? &video->view() : nullptr;
          },
          .playerWebView = [this] { return playerWebView(); },
          .hideLoader = [this] { hideLoader(); },
          .notificationCenter = platform.notificationCenter(),
      }),
      launcher_(playbackContext_),
      relay_(playbackContext_, launcher_) {}

MediaPlayer* AppDelegate::player() { return playerScreen_.player(); }

WebView* AppDelegate::homeWebView() {
    WebViewController* home = homeScreen_.homeWebViewController();
    return home ? &home->view() : nullptr;
}

WebView* AppDelegate::playerWebView() { return playerScreen_.playerWebView(); }

bool AppDelegate::setPlaysAfterPageWait(bool plays) {
    return launcher_.setPlaysAfterPageWait(plays);
}

void AppDelegate::hideLoader() {
    if (LoaderViewController* loader = homeScreen_.loaderViewController()) loader->hideLoader();
}

AppDelegate::~AppDelegate() {
    NotificationCenter& center = platform_.notificationCenter();
    if (launchObserver_) center.removeObserver(launchObserver_);
    if (hashObserver_) center.removeObserver(hashObserver_);
}

void AppDelegate::applicationDidFinishLaunching() {
    Window& window = platform_.mainWindow();
    window.setFullScreenPrimary();
    window.setDelegate(&playerScreen_);

    NotificationCenter& center = platform_.notificationCenter();
    launchObserver_ = center.addObserver(kLaunchVideoNotification, nullptr,
                                         [this](const Notification&) { launcher_.launchVideo(); });
    hashObserver_ = center.addObserver(
        kHashComputedNotification, nullptr,
        [this](const Notification& notification) { lookup_.onHashComputed(notification); });
    // A file waiting for a home page that cannot come would wait for ever: it goes ahead, and
    // its lookup, which cannot reach the service either, tells the learner so.
    homeScreen_.setLoadFailedHandler([this] { processWaitingFile(); });
    homeScreen_.setCancelHandler([this] { cancelVideo(); });

    loadHomeScreen();
}

bool AppDelegate::applicationOpenFile(const QString& file) {
    const bool accepted = intake_.applicationOpenFile(file);
    // A page that is already ready would only take the file at its next readiness (a reload
    // that may never come), so a request arriving then is processed at once, like File > Open.
    if (state_.homePageReady) processWaitingFile();
    return accepted;
}

void AppDelegate::processWaitingFile() {
    if (state_.openFilePath.isEmpty()) return;
    // Cleared before the call, which may itself store a new path.
    processVideoAndLaunch(std::exchange(state_.openFilePath, QString()));
}

void AppDelegate::cancelVideo() {
    logLine("The video was cancelled");
    // Its hash, should it still come, is no longer the current video's; its lookup stops and
    // its downloads and upload can no longer reach the queues nor launch it.
    ++state_.currentVideo;
    lookup_.abandonPreviousVideo();  // the lookup cancelled, the queues reset
    state_.startAt.reset();
    loadHomeScreen();
}

void AppDelegate::loadHomeScreen() { homeScreen_.loadHomeScreen(); }

void AppDelegate::loadPlayerScreen() { playerScreen_.loadPlayerScreen(); }

void AppDelegate::processVideoAndLaunch(const QString& text) {
    const VideoLocation location = VideoLocation::fromText(text);
    // The previous video's downloads or upload must not launch it over this one.
    lookup_.abandonPreviousVideo();
    if (videoFolderObserver_ && !location.isUrl()) {
        videoFolderObserver_(QFileInfo(location.text).absolutePath());
    }
    intake_.processVideoAndLaunch(location);
}

}  // namespace lirra
