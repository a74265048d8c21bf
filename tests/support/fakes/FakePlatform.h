// SPDX-License-Identifier: GPL-3.0-or-later
// Every platform service as a fake, for the controllers' unit tests. Made objects are handed
// out as the interface demands and remembered here as plain pointers (valid while the code
// under test keeps them), so tests can reach e.g. the second web view that was made.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "FakeApplication.h"
#include "FakeHttpClient.h"
#include "FakeMainThread.h"
#include "FakeMediaPlayer.h"
#include "FakeViews.h"
#include "FakeWebView.h"
#include "FakeWindow.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"

namespace lirra::fakes {

class FakePlatform : public Platform {
  public:
    Window& mainWindow() override { return mainWindow_; }
    std::unique_ptr<WebView> createWebView() override {
        return remember(std::make_unique<FakeWebView>(), webViews_);
    }
    std::unique_ptr<LoaderView> createLoaderView() override {
        return remember(std::make_unique<FakeLoaderView>(), loaderViews_);
    }
    std::unique_ptr<Window> createPlayerWindow(const Rect& contentRect) override {
        auto window = std::make_unique<FakeWindow>(contentRect, 0);
        window->visible_ = false;
        return remember(std::move(window), playerWindows_);
    }
    std::unique_ptr<VideoView> createVideoView() override {
        return remember(std::make_unique<FakeVideoView>(), videoViews_);
    }
    std::unique_ptr<MediaPlayer> createMediaPlayer(VideoView&) override {
        return remember(std::make_unique<FakeMediaPlayer>(), mediaPlayers_);
    }

    void setFileMenuOpenHandler(std::function<void()>) override {}
    void removeAllCachedResponses() override {}
    HttpClient& httpClient() override { return httpClientInUse_ ? *httpClientInUse_ : httpClient_; }
    Application& application() override { return application_; }
    MainThread& mainThread() override { return mainThread_; }
    NotificationCenter& notificationCenter() override { return notificationCenter_; }
    UserDefaults& userDefaults() override { return userDefaults_; }

    FakeWindow mainWindow_;
    FakeHttpClient httpClient_;
    HttpClient* httpClientInUse_ = nullptr;  // none: httpClient_
    FakeApplication application_;
    FakeMainThread mainThread_;
    NotificationCenter notificationCenter_;
    UserDefaults userDefaults_;

    std::vector<FakeWebView*> webViews_;
    std::vector<FakeLoaderView*> loaderViews_;
    std::vector<FakeWindow*> playerWindows_;  // the overlay, then the video window
    std::vector<FakeVideoView*> videoViews_;
    std::vector<FakeMediaPlayer*> mediaPlayers_;

  private:
    template <typename T>
    static std::unique_ptr<T> remember(std::unique_ptr<T> object, std::vector<T*>& list) {
        list.push_back(object.get());
        return object;
    }
};

}  // namespace lirra::fakes
