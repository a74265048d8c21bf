// A page bridge wired to fakes: a main window, a player that can be swapped or absent, the two
// web views (each may be absent), and recorders for the screens and the video intake.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "QStringPrinter.h"
#include "bridge/PageBridge.h"
#include "fakes/FakeApplication.h"
#include "fakes/FakeMainThread.h"
#include "fakes/FakeMediaPlayer.h"
#include "fakes/FakeWebView.h"
#include "fakes/FakeWindow.h"
#include "promise/Promise.h"

namespace lirra::testing {

class RecordingScreens : public Screens {
  public:
    void loadHomeScreen() override { ++homeScreenLoads; }
    void loadPlayerScreen() override { ++playerScreenLoads; }
    int homeScreenLoads = 0;
    int playerScreenLoads = 0;
};

class RecordingIntake : public VideoIntake {
  public:
    explicit RecordingIntake(AppState& state) : state_(state) {}
    void processVideoAndLaunch(const QString& location) override {
        locations.push_back(location);
        openFilePathDuringCall.push_back(state_.openFilePath);
    }
    std::vector<QString> locations;
    std::vector<QString> openFilePathDuringCall;

  private:
    AppState& state_;
};

class BridgeTest : public ::testing::Test {
  protected:
    BridgeTest() { config.baseUrl = QStringLiteral("http://127.0.0.1:8123/"); }

    PageBridge& bridge() {
        if (!bridge_) {
            bridge_ = std::make_unique<PageBridge>(BridgeContext{
                state, config, application, mainThread, window, screens, intake, views_});
        }
        return *bridge_;
    }
    void destroyBridge() { bridge_.reset(); }

    void execute(const char* name, BridgeArguments arguments = {}) {
        bridge().handleExecutionRequest(QString::fromLatin1(name), arguments);
    }
    void request(const char* name, BridgeArguments arguments) {
        bridge().handleDataRequest(QString::fromLatin1(name), arguments);
    }
    // The reply scripts the player page has received.
    const std::vector<QString>& replies() const { return playerView.asyncScripts_; }

    static QString reply(const char* guid, const char* value) {
        return QStringLiteral(
                   "if(typeof $ != 'undefined'){ $(window).trigger('response:%1', %2); }")
            .arg(QString::fromLatin1(guid), QString::fromLatin1(value));
    }

    AppState state;
    AppConfig config;
    fakes::FakeApplication application;
    fakes::FakeMainThread mainThread;
    RecordingScreens screens;
    RecordingIntake intake{state};
    fakes::FakeWindow window;
    fakes::FakeMediaPlayer player;
    fakes::FakeWebView homeView;
    fakes::FakeWebView playerView;
    bool hasPlayer = true;
    bool hasHomeView = true;
    bool hasPlayerView = true;

  private:
    // The views as the three flags say.
    class Views : public BridgeViews {
      public:
        explicit Views(BridgeTest& test) : test_(test) {}
        MediaPlayer* player() override { return test_.hasPlayer ? &test_.player : nullptr; }
        WebView* homeWebView() override { return test_.hasHomeView ? &test_.homeView : nullptr; }
        WebView* playerWebView() override {
            return test_.hasPlayerView ? &test_.playerView : nullptr;
        }

      private:
        BridgeTest& test_;
    };

    Views views_{*this};
    std::unique_ptr<PageBridge> bridge_;
};

}  // namespace lirra::testing
