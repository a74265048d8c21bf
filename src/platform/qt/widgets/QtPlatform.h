// The Platform of the desktop app: Qt windows, web views and dialogs, HTTP on the Qt event
// loop, and libmpv for video. Make it on the main thread after the QApplication (with
// registerAppUrlScheme() called before that).
#pragma once

#include <memory>

#include "platform/Platform.h"

namespace lirra {

class QtApplication;
class QtHttpClient;
class QtMainThread;
class QtMainWindow;

class QtPlatform final : public Platform {
  public:
    // How the main window's content is put together (see QtMainWindow::Content).
    enum class Composition { Widgets, QuickStage };
    explicit QtPlatform(Composition composition = Composition::Widgets);
    ~QtPlatform() override;
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

    Window& mainWindow() override;
    QtMainWindow& qtMainWindow() { return *mainWindow_; }
    void setFileMenuOpenHandler(std::function<void()> handler) override;

    std::unique_ptr<WebView> createWebView() override;
    std::unique_ptr<LoaderView> createLoaderView() override;
    std::unique_ptr<Window> createPlayerWindow(const Rect& contentRect) override;
    std::unique_ptr<VideoView> createVideoView() override;
    // Needs a view made by createVideoView(); gives none for another kind of view.
    std::unique_ptr<MediaPlayer> createMediaPlayer(VideoView& view) override;

    void removeAllCachedResponses() override;

    HttpClient& httpClient() override;
    Application& application() override;
    MainThread& mainThread() override;
    NotificationCenter& notificationCenter() override;
    UserDefaults& userDefaults() override;

  private:
    std::unique_ptr<QtMainThread> mainThread_;
    std::unique_ptr<QtHttpClient> httpClient_;
    std::unique_ptr<QtApplication> application_;
    std::unique_ptr<QtMainWindow> mainWindow_;
};

}  // namespace lirra
