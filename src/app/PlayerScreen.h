// SPDX-License-Identifier: GPL-3.0-or-later
// The player screen: the video window and, above it, the overlay window with the player page,
// both laid over the main window's content area. Made on first use and reused for every video.
// Also the main window's delegate: it keeps the player windows in place and tells the page.
#pragma once

#include <functional>
#include <memory>

#include "app/LKeyableWindow.h"
#include "app/VideoViewController.h"
#include "app/WebViewController.h"
#include "platform/Platform.h"
#include "state/AppState.h"
#include "state/Screens.h"

namespace lirra {

class PlayerScreen : public WindowDelegate {
  public:
    struct Hooks {
        std::function<void()> hideLoader;
        std::function<void()> mediaPlayerStateChanged;
        std::function<void()> mediaPlayerTimeChanged;
    };

    PlayerScreen(Platform& platform, AppState& state, Screens& screens,
                 WebPolicyDelegate& policyDelegate, WebUIDelegate& uiDelegate,
                 DragReceiver& dragReceiver, Hooks hooks);
    ~PlayerScreen() override;

    void loadPlayerScreen();
    // Lays both player windows over the main window's content area (when they exist).
    void repositionWindows();
    // Leaves full screen when the main window is in it.
    void exitFullscreen();

    // Main-window callbacks.
    void windowDidResize() override;
    void windowDidMove() override;
    void windowDidBecomeKey() override;
    bool windowShouldClose() override;
    void windowDidEnterFullScreen() override;
    void windowDidExitFullScreen() override;

    // Empty until the first player screen has been built.
    VideoViewController* vlcVideoViewController() { return vlcVideoViewController_.get(); }
    WebViewController* playerWebViewController() { return playerWebViewController_.get(); }
    Window* vlcViewWindow() { return vlcViewWindow_.get(); }
    Window* playerWebViewWindow() { return playerWebViewWindow_.get(); }
    LKeyableWindow& overlayRouting() { return keyableWindow_; }

    MediaPlayer* player();
    WebView* playerWebView();

    // Triggers a page event in the player page; nothing when there is none.
    void sendPageEvent(const QString& name);

  private:
    Rect placementRect();

    Platform& platform_;
    AppState& state_;
    Screens& screens_;
    WebPolicyDelegate& policyDelegate_;
    WebUIDelegate& uiDelegate_;
    DragReceiver& dragReceiver_;
    Hooks hooks_;

    std::unique_ptr<VideoViewController> vlcVideoViewController_;
    std::unique_ptr<WebViewController> playerWebViewController_;
    std::unique_ptr<Window> vlcViewWindow_;
    std::unique_ptr<Window> playerWebViewWindow_;
    LKeyableWindow keyableWindow_;
    NotificationCenter::ObserverId stateObserver_ = 0;
    NotificationCenter::ObserverId timeObserver_ = 0;
};

}  // namespace lirra
