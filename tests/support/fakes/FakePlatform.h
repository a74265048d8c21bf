// SPDX-License-Identifier: GPL-3.0-or-later
// Every platform service as a fake. Made objects are handed out and remembered as plain pointers
// (valid while the code under test keeps them), so tests reach e.g. the second web view made.
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
    std::unique_ptr<WebView> createWebView() override { return make(webViews_); }
    std::unique_ptr<LoaderView> createLoaderView() override { return make(loaderViews_); }
    std::unique_ptr<Window> createPlayerWindow(const Rect& contentRect) override {
        auto window = make(playerWindows_, contentRect, 0);
        window->visible_ = false;
        return window;
    }
    std::unique_ptr<VideoView> createVideoView() override { return make(videoViews_); }
    std::unique_ptr<MediaPlayer> createMediaPlayer(VideoView&) override {
        return make(mediaPlayers_);
    }

    void setFileMenuOpenHandler(std::function<void()>) override {}
    void removeAllCachedResponses() override {}
    HttpClient& httpClient() override { return httpClient_; }
    Application& application() override { return application_; }
    MainThread& mainThread() override { return mainThread_; }
    NotificationCenter& notificationCenter() override { return notificationCenter_; }
    UserDefaults& userDefaults() override { return userDefaults_; }

    FakeWindow mainWindow_;
    FakeHttpClient httpClient_;
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
    template <typename T, typename... Arguments>
    static std::unique_ptr<T> make(std::vector<T*>& list, Arguments&&... arguments) {
        auto object = std::make_unique<T>(std::forward<Arguments>(arguments)...);
        list.push_back(object.get());
        return object;
    }
};

}  // namespace lirra::fakes
