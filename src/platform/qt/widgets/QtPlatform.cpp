#include "QtPlatform.h"

#include "QtApplication.h"
#include "QtLoaderView.h"
#include "QtMainWindow.h"
#include "QtPlayerWindow.h"
#include "QtWebView.h"
#include "QuickPlayerWindow.h"
#include "WebProfile.h"
#include "platform/mpv/MpvMediaPlayer.h"
#include "platform/mpv/MpvVideoView.h"
#include "platform/mpv/QuickVideoView.h"
#include "platform/qt/network/QtHttpClient.h"
#include "platform/qt/network/QtMainThread.h"
#include "platform/qt/quick/QuickLoaderView.h"
#include "platform/qt/quick/QuickStage.h"
#include "platform/qt/quickweb/QuickWebProfile.h"
#include "platform/qt/quickweb/QuickWebView.h"

namespace lirra {

QtPlatform::QtPlatform(Composition composition)
    : mainThread_(std::make_unique<QtMainThread>()),
      httpClient_(std::make_unique<QtHttpClient>()),
      application_(std::make_unique<QtApplication>()),
      mainWindow_(std::make_unique<QtMainWindow>(composition == Composition::QuickStage
                                                     ? QtMainWindow::Content::QuickStage
                                                     : QtMainWindow::Content::Widgets)) {}

QtPlatform::~QtPlatform() = default;

Window& QtPlatform::mainWindow() { return *mainWindow_; }

void QtPlatform::setFileMenuOpenHandler(std::function<void()> handler) {
    mainWindow_->setFileMenuOpenHandler(std::move(handler));
}

std::unique_ptr<WebView> QtPlatform::createWebView() {
    if (QuickStage* stage = mainWindow_->stage())
        return std::make_unique<QuickWebView>(notificationCenter(), stage->engine());
    return std::make_unique<QtWebView>(notificationCenter());
}

std::unique_ptr<LoaderView> QtPlatform::createLoaderView() {
    if (mainWindow_->stage()) return std::make_unique<QuickLoaderView>();
    return std::make_unique<QtLoaderView>();
}

std::unique_ptr<Window> QtPlatform::createPlayerWindow(const Rect& contentRect) {
    if (QuickStage* stage = mainWindow_->stage())
        return std::make_unique<QuickPlayerWindow>(*mainWindow_, *stage, contentRect);
    return std::make_unique<QtPlayerWindow>(*mainWindow_, contentRect);
}

std::unique_ptr<VideoView> QtPlatform::createVideoView() {
    if (mainWindow_->stage()) return std::make_unique<QuickVideoView>();
    return std::make_unique<MpvVideoView>();
}

std::unique_ptr<MediaPlayer> QtPlatform::createMediaPlayer(VideoView& view) {
    auto* mpvView = dynamic_cast<MpvVideoSurface*>(&view);
    if (!mpvView) return nullptr;
    // `hwdec` in the settings file or `--hwdec` on the command line.
    return std::make_unique<MpvMediaPlayer>(*mpvView, notificationCenter(),
                                            userDefaults().stringForKey("hwdec"));
}

void QtPlatform::removeAllCachedResponses() {
    if (mainWindow_->stage()) {
        clearQuickHttpCache();
    } else {
        clearHttpCache();
    }
}

HttpClient& QtPlatform::httpClient() { return *httpClient_; }

Application& QtPlatform::application() { return *application_; }

MainThread& QtPlatform::mainThread() { return *mainThread_; }

NotificationCenter& QtPlatform::notificationCenter() { return NotificationCenter::defaultCenter(); }

UserDefaults& QtPlatform::userDefaults() { return UserDefaults::standard(); }

}  // namespace lirra
