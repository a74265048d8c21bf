// SPDX-License-Identifier: GPL-3.0-or-later
// The page's exact seek as it arrives: the bridge's own command table driving real libmpv.
#include <gtest/gtest.h>

#include "PlayerRig.h"
#include "bridge/PageBridge.h"
#include "fakes/FakeApplication.h"
#include "fakes/FakeMainThread.h"
#include "fakes/FakeWindow.h"

namespace lirra::test {
namespace {

constexpr int kFrameMs = 40;  // the clip runs at 25 frames a second

class RigViews : public BridgeViews, public Screens, public VideoIntake {
  public:
    explicit RigViews(MediaPlayer& player) : player_(player) {}
    MediaPlayer* player() override { return &player_; }
    WebView* homeWebView() override { return nullptr; }
    WebView* playerWebView() override { return nullptr; }
    bool setPlaysAfterPageWait(bool) override { return false; }
    void loadHomeScreen() override {}
    void loadPlayerScreen() override {}
    void processVideoAndLaunch(const QString&) override {}

  private:
    MediaPlayer& player_;
};

TEST(BridgeSeekTest, SeekToMsReachesTheFrameAskedForWhileOpeningAndOnceLoaded) {
    if (testMedia().dir.isEmpty()) GTEST_SKIP() << "ffmpeg could not make the test media";
    PlayerRig rig;
    MpvMediaPlayer& p = rig.player();
    RigViews views(p);
    AppState state;
    const AppConfig config{"http://127.0.0.1:1/"};
    fakes::FakeApplication application;
    fakes::FakeMainThread mainThread;
    fakes::FakeWindow window;
    PageBridge bridge({state, config, application, mainThread, window, views, views, views});
    auto send = [&](const char* url) {
        const BridgeUrl command = BridgeUrl::fromUrl(QUrl(QString::fromLatin1(url)));
        bridge.handleExecutionRequest(command.name, command.arguments);
    };
    auto landedNear = [&](int ms) {
        return p.state() == kMediaPlayerStatePaused && !rig.times.empty() &&
               std::abs(rig.times.back().value_or(-1000) - ms) <= kFrameMs;
    };
    EXPECT_TRUE(runSteps({
        {"asked while the clip opens, applied once it is loaded",
         [&] {
             p.setMedia({Media::Kind::Path, testMedia().clip}), p.openPaused();
             send("app:///Execute/SeekToMs?ms=2345");
         },
         [&] { return landedNear(2345); }},
        {"asked while it rests, between two whole seconds and away from a key frame",
         [&] { send("app:///Execute/SeekToMs?ms=1234"); }, [&] { return landedNear(1234); }},
    })) << "time "
        << p.time().value_or(-1);
}

}  // namespace
}  // namespace lirra::test
