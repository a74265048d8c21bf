// SPDX-License-Identifier: GPL-3.0-or-later
// The home screen: the service's home page in a web view filling the main window, with the
// loader beneath it. Built on first use; returning home reloads the page only when it never
// reported that it was ready.
#pragma once

#include <functional>
#include <memory>

#include "app/LDragReceiverWebView.h"
#include "app/LoaderViewController.h"
#include "app/PlayerScreen.h"
#include "app/WebViewController.h"
#include "platform/Platform.h"
#include "state/AppConfig.h"
#include "state/AppState.h"

namespace lirra {

class HomeScreen {
  public:
    HomeScreen(Platform& platform, AppState& state, const AppConfig& config,
               PlayerScreen& playerScreen, WebPolicyDelegate& policyDelegate,
               LDragReceiverWebView& dragReceiver);
    ~HomeScreen();

    void loadHomeScreen();
    // Progress of the home web view: a load started / finished.
    void homeScreenConnecting();
    void homeScreenConnected();
    // The home page could not be loaded: said on the loader, then the failure handler runs.
    void homeScreenFailed();
    // Called when the home page could not be loaded (the service cannot be reached).
    void setLoadFailedHandler(std::function<void()> handler) { loadFailed_ = std::move(handler); }
    // Called when the learner presses the loader's Cancel.
    void setCancelHandler(std::function<void()> handler) { cancel_ = std::move(handler); }

    // Empty until the first loadHomeScreen.
    WebViewController* homeWebViewController() { return homeWebViewController_.get(); }
    LoaderViewController* loaderViewController() { return loaderViewController_.get(); }

    static constexpr char kConnectingText[] = "Connecting...";
    static constexpr char kUnreachableText[] =
        "Cannot reach the Lirra service. Open a video to try again.";

  private:
    void build();

    Platform& platform_;
    AppState& state_;
    const AppConfig& config_;
    PlayerScreen& playerScreen_;
    WebPolicyDelegate& policyDelegate_;
    LDragReceiverWebView& dragReceiver_;

    std::unique_ptr<WebViewController> homeWebViewController_;
    std::unique_ptr<LoaderViewController> loaderViewController_;
    NotificationCenter::ObserverId startedObserver_ = 0;
    NotificationCenter::ObserverId finishedObserver_ = 0;
    std::function<void()> loadFailed_;
    std::function<void()> cancel_;
};

}  // namespace lirra
