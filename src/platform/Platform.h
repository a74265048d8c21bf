// SPDX-License-Identifier: GPL-3.0-or-later
// Everything the logic needs from the desktop, made in one place: Qt and mpv in the app,
// fakes in unit tests.
#pragma once

#include <functional>
#include <memory>

#include "Application.h"
#include "MainThread.h"
#include "MediaPlayer.h"
#include "NotificationCenter.h"
#include "UrlConnection.h"
#include "UserDefaults.h"
#include "View.h"
#include "WebView.h"
#include "Window.h"

namespace lirra {

class Platform {
  public:
    virtual ~Platform() = default;

    virtual Window& mainWindow() = 0;
    // What the File menu's open item does.
    virtual void setFileMenuOpenHandler(std::function<void()> handler) = 0;
    virtual std::unique_ptr<WebView> createWebView() = 0;
    virtual std::unique_ptr<LoaderView> createLoaderView() = 0;
    // A borderless player layer over the main window's content area (see Window.h).
    virtual std::unique_ptr<Window> createPlayerWindow(const Rect& contentRect) = 0;
    virtual std::unique_ptr<VideoView> createVideoView() = 0;
    // A player drawing into `view`; the view outlives the player.
    virtual std::unique_ptr<MediaPlayer> createMediaPlayer(VideoView& view) = 0;

    // Empties the web engine's shared HTTP cache.
    virtual void removeAllCachedResponses() = 0;

    virtual HttpClient& httpClient() = 0;
    virtual Application& application() = 0;
    virtual MainThread& mainThread() = 0;
    virtual NotificationCenter& notificationCenter() = 0;
    virtual UserDefaults& userDefaults() = 0;
};

}  // namespace lirra
