// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtPlatform.h"

#include "QtApplication.h"
#include "QtMainWindow.h"
#include "QuickPlayerWindow.h"
#include "platform/mpv/MpvMediaPlayer.h"
#include "platform/qt/network/QtHttpClient.h"
#include "platform/qt/network/QtMainThread.h"
#include "platform/qt/quick/QuickLoaderView.h"
#include "platform/qt/quick/QuickStage.h"
#include "platform/qt/quickvideo/QuickVideoView.h"
#include "platform/qt/quickweb/QuickWebProfile.h"
#include "platform/qt/quickweb/QuickWebView.h"

namespace lirra {

QtPlatform::QtPlatform()
    : mainThread_(std::make_unique<QtMainThread>()),
      httpClient_(std::make_unique<QtHttpClient>()),
      application_(std::make_unique<QtApplication>()),
      mainWindow_(std::make_unique<QtMainWindow>()) {}

QtPlatform::~QtPlatform() = default;

Window& QtPlatform::mainWindow() { return *mainWindow_; }

void QtPlatform::setFileMenuOpenHandler(std::function<void()> handler) {
    mainWindow_->setFileMenuOpenHandler(std::move(handler));
}

std::unique_ptr<WebView> QtPlatform::createWebView() {
    return std::make_unique<QuickWebView>(notificationCenter(), mainWindow_->stage().engine());
}

std::unique_ptr<LoaderView> QtPlatform::createLoaderView() {
    return std::make_unique<QuickLoaderView>();
}

std::unique_ptr<Window> QtPlatform::createPlayerWindow(const Rect& contentRect) {
    return std::make_unique<QuickPlayerWindow>(*mainWindow_, contentRect);
}

std::unique_ptr<VideoView> QtPlatform::createVideoView() {
    return std::make_unique<QuickVideoView>();
}

std::unique_ptr<MediaPlayer> QtPlatform::createMediaPlayer(VideoView& view) {
    auto* surface = dynamic_cast<MpvVideoSurface*>(&view);
    if (!surface) return nullptr;
    // `hwdec` in the settings file or `--hwdec` on the command line.
    return std::make_unique<MpvMediaPlayer>(*surface, notificationCenter(),
                                            userDefaults().stringForKey("hwdec"));
}

void QtPlatform::removeAllCachedResponses() { clearQuickHttpCache(); }

HttpClient& QtPlatform::httpClient() { return *httpClient_; }

QtHttpClient& QtPlatform::qtHttpClient() { return *httpClient_; }

Application& QtPlatform::application() { return *application_; }

MainThread& QtPlatform::mainThread() { return *mainThread_; }

NotificationCenter& QtPlatform::notificationCenter() { return NotificationCenter::defaultCenter(); }

UserDefaults& QtPlatform::userDefaults() { return UserDefaults::standard(); }

}  // namespace lirra
