// SPDX-License-Identifier: GPL-3.0-or-later
// The Platform of the desktop app: the Qt main window and its Qt Quick stage, web views on Qt
// WebEngine's Quick view, dialogs, HTTP on the Qt event loop, and libmpv for video. Make it on
// the main thread after the QApplication (with registerAppUrlScheme() and Qt WebEngine's Quick
// start-up called before that).
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
    QtPlatform();
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
    QtHttpClient& qtHttpClient();
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
