#include "QtPlatform.h"

#include "QtApplication.h"
#include "QtLoaderView.h"
#include "QtMainWindow.h"
#include "QtPlayerWindow.h"
#include "QtWebView.h"
#include "WebProfile.h"
#include "platform/mpv/MpvMediaPlayer.h"
#include "platform/mpv/MpvVideoView.h"
#include "platform/qt/network/QtHttpClient.h"
#include "platform/qt/network/QtMainThread.h"

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
    return std::make_unique<QtWebView>(notificationCenter());
}

std::unique_ptr<LoaderView> QtPlatform::createLoaderView() {
    return std::make_unique<QtLoaderView>();
}

std::unique_ptr<Window> QtPlatform::createPlayerWindow(const Rect& contentRect) {
    return std::make_unique<QtPlayerWindow>(*mainWindow_, contentRect);
}

std::unique_ptr<VideoView> QtPlatform::createVideoView() {
    return std::make_unique<MpvVideoView>();
}

std::unique_ptr<MediaPlayer> QtPlatform::createMediaPlayer(VideoView& view) {
    auto* mpvView = dynamic_cast<MpvVideoView*>(&view);
    if (!mpvView) return nullptr;
    // `hwdec` in the settings file or `--hwdec` on the command line.
    return std::make_unique<MpvMediaPlayer>(*mpvView, notificationCenter(),
                                            userDefaults().stringForKey("hwdec"));
}

void QtPlatform::removeAllCachedResponses() { clearHttpCache(); }

HttpClient& QtPlatform::httpClient() { return *httpClient_; }

Application& QtPlatform::application() { return *application_; }

MainThread& QtPlatform::mainThread() { return *mainThread_; }

NotificationCenter& QtPlatform::notificationCenter() { return NotificationCenter::defaultCenter(); }

UserDefaults& QtPlatform::userDefaults() { return UserDefaults::standard(); }

}  // namespace lirra
