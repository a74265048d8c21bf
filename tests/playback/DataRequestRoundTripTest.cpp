// The page's data requests, answered through the bridge once the relay resolves the Deferreds.
#include "PlaybackFixture.h"
#include "bridge/PageBridge.h"
#include "fakes/FakeMainThread.h"

namespace lirra::testing {
namespace {

class NoIntake : public VideoIntake {
  public:
    void processVideoAndLaunch(const QString&) override {}
};

class FixedViews : public BridgeViews {
  public:
    FixedViews(MediaPlayer& player, WebView& home, WebView& page)
        : player_(player), home_(home), page_(page) {}
    MediaPlayer* player() override { return &player_; }
    WebView* homeWebView() override { return &home_; }
    WebView* playerWebView() override { return &page_; }

  private:
    MediaPlayer& player_;
    WebView& home_;
    WebView& page_;
};

class RoundTripTest : public PlaybackTest {
  protected:
    void request(const char* name, const char* guid) {
        bridge.handleDataRequest(
            QString::fromLatin1(name),
            BridgeArguments{{QStringLiteral("guid"), QString::fromLatin1(guid)}});
    }
    static QString reply(const char* guid, const char* value) {
        return QStringLiteral(
                   "if(typeof $ != 'undefined'){ $(window).trigger('response:%1', %2); }")
            .arg(QString::fromLatin1(guid), QString::fromLatin1(value));
    }
    std::vector<QString> takeScripts() { return std::exchange(playerView.asyncScripts_, {}); }

    fakes::FakeMainThread mainThread;
    NoIntake intake;
    fakes::FakeWebView homeView;
    FixedViews views{player, homeView, playerView};
    PageBridge bridge{
        BridgeContext{state, config, application, mainThread, window, screens, intake, views}};
};

TEST_F(RoundTripTest, WaitingRequestsAreAnsweredInOrderByTheTimeChangeThatKnowsTheValues) {
    launcher.launchVideo();
    request("Duration", "old");  // the previous video's: never answered
    launcher.launchVideo();
    request("Volume", "a");
    request("PlaybackSpeed", "s");
    request("Duration", "d");
    request("AudioInfo", "i");
    request("Volume", "b");

    // Muted, not yet open, rate not known: only the position goes out.
    player.rate_ = -1.0f;
    player.volume_ = 0;
    player.time_ = std::nullopt;
    player.length_ = std::nullopt;
    relay.mediaPlayerTimeChanged();
    EXPECT_EQ(takeScripts(), (std::vector<QString>{timeUpdate("null")}));

    playVideo();
    player.rate_ = 0.5f;
    relay.mediaPlayerTimeChanged();
    EXPECT_EQ(takeScripts(),
              (std::vector<QString>{
                  timeUpdate("750"), reply("a", "200"), reply("b", "200"), reply("d", "10400"),
                  reply("i", "{audioTracks:{'English':1, 'French':2, }, audioTrack:1}"),
                  reply("s", "0.5")}));

    // Asked again, answered during the request with the value already known.
    player.volume_ = 120;
    request("Volume", "c");
    EXPECT_EQ(takeScripts(), (std::vector<QString>{reply("c", "200")}));
}

}  // namespace
}  // namespace lirra::testing
