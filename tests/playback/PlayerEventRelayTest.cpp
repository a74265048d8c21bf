#include <cmath>

#include "PlaybackFixture.h"

namespace lirra::testing {
namespace {

using RelayTest = PlaybackTest;

TEST_F(RelayTest, FitsTheWindowOnceToTheFirstVideoStreamWithASize) {
    playVideo();
    player.tracks_ = {{QStringLiteral("audio"), 0, 0}, {QStringLiteral("video"), 0, 0}};
    stateChanged(kMediaPlayerStateBuffering);  // the size is not read yet
    EXPECT_TRUE(window.contentSizeCalls_.empty());
    EXPECT_FALSE(state.playbackStarted);

    player.tracks_[1] = {QStringLiteral("video"), 1280, 720};
    player.tracks_.push_back({QStringLiteral("video"), 640, 480});  // a second picture stream
    stateChanged(kMediaPlayerStatePlaying);
    EXPECT_EQ(window.contentAspectRatio(), (Size{1280, 720}));
    EXPECT_EQ(window.contentSizeCalls_, (std::vector<Size>{{1280, 720}}));
    EXPECT_TRUE(state.playbackStarted);

    // The user resizes the window; later changes of the same video leave it alone.
    window.setContentSize(Size{800, 450});
    stateChanged(kMediaPlayerStatePlaying);
    EXPECT_EQ(window.contentSize(), (Size{800, 450}));

    // At the end: home, which stops the player; that stop must not fit the home screen.
    window.contentSizeCalls_.clear();
    player.time_ = player.length_;
    stateChanged(kMediaPlayerStatePaused);
    ASSERT_EQ(screens.homeScreenLoads, 1);
    relay.mediaPlayerStateChanged();
    EXPECT_TRUE(window.contentSizeCalls_.empty());
    EXPECT_FALSE(state.playbackStarted) << "the next video must still be fitted";
}

TEST_F(RelayTest, APauseEndsThePlayerScreenOnlyInTheLastWholeSecond) {
    const struct {
        std::optional<std::int32_t> time, length;
        bool home;
    } cases[] = {
        {10000, 10999, true},         // 10 s of 10 s
        {10999, 10000, true},         // past the end
        {9999, 10000, false},         // 9 s of 10 s
        {std::nullopt, 999, true},    // no position yet counts as 0 s of 0 s
        {5000, std::nullopt, false},  // not open yet: no end to have reached
        {-1500, -1000, true},         // -1 s of -1 s: whole seconds truncate toward zero
    };
    for (const auto& c : cases) {
        screens.homeScreenLoads = 0;
        player.time_ = c.time;
        player.length_ = c.length;
        stateChanged(kMediaPlayerStatePaused);
        EXPECT_EQ(screens.homeScreenLoads, c.home ? 1 : 0)
            << "time " << c.time.value_or(-1) << " length " << c.length.value_or(-1);
    }
    // Only a pause is an end: a player still playing at its length stays.
    screens.homeScreenLoads = 0;
    player.time_ = player.length_ = 10000;
    stateChanged(kMediaPlayerStatePlaying);
    EXPECT_EQ(screens.homeScreenLoads, 0);
}

TEST_F(RelayTest, EngineSubtitlesGoOffAfterEveryStateChangeAndAnErrorAlertsWithoutFitting) {
    playVideo();
    for (int s : {kMediaPlayerStateError, kMediaPlayerStateOpening, kMediaPlayerStatePaused}) {
        player.currentVideoSubTitleIndex_ = 3;
        player.calls_.clear();
        stateChanged(s);
        EXPECT_EQ(player.calls_.back(), "setCurrentVideoSubTitleIndex(-1)") << "state " << s;
        EXPECT_TRUE(s != kMediaPlayerStateError || window.contentSizeCalls_.empty());
    }
    ASSERT_EQ(application.alerts_.size(), 1u);
    EXPECT_EQ(application.alerts_[0].messageText, QStringLiteral("Couldn't open video"));
    player.calls_.clear();
    stateChanged(kMediaPlayerStatePlaying);
    EXPECT_TRUE(player.calls_.empty()) << "already off: not set again";
}

TEST_F(RelayTest, DeferredsResolveOnceWithTheFirstAcceptableValues) {
    launcher.launchVideo();
    player.volume_ = 0;  // muted at start
    player.length_ = std::nullopt;
    player.rate_ = std::nanf("");
    relay.mediaPlayerTimeChanged();
    player.volume_ = 201;
    relay.mediaPlayerTimeChanged();
    EXPECT_FALSE(state.volumeDeferred->isResolved());
    EXPECT_FALSE(state.durationDeferred->isResolved());
    EXPECT_FALSE(state.audioInfoDeferred->isResolved()) << "no audio track listed";
    EXPECT_FALSE(state.playbackSpeedDeferred->isResolved());

    playVideo();
    player.volume_ = 1;
    player.audioTrackNames_ = {QStringLiteral("English"), QStringLiteral("English")};
    player.currentAudioTrackIndex_ = 2;
    relay.mediaPlayerTimeChanged();
    // Later values of the same video change nothing.
    player.volume_ = 50;
    player.length_ = 99000;
    relay.mediaPlayerTimeChanged();
    EXPECT_EQ(std::any_cast<int>(state.volumeDeferred->result()), 1);
    EXPECT_EQ(std::any_cast<std::int64_t>(state.durationDeferred->result()), 10400);
    EXPECT_EQ(std::any_cast<float>(state.playbackSpeedDeferred->result()), 1.0f);
    EXPECT_EQ(std::any_cast<QString>(state.audioInfoDeferred->result()),
              QStringLiteral("{audioTracks:{'English':2, }, audioTrack:2}"));
    // Every time change tells the page the position, without waiting for it.
    EXPECT_EQ(playerView.asyncScripts_.front(), timeUpdate("null"));
    EXPECT_EQ(playerView.asyncScripts_.back(), timeUpdate("750"));
    EXPECT_EQ(playerView.asyncScripts_.size(), 4u);
    EXPECT_TRUE(playerView.syncScripts_.empty());
}

TEST_F(RelayTest, WithoutDeferredsPlayerOrPageNothingBreaks) {
    playVideo();
    relay.mediaPlayerTimeChanged();  // before the first launch: no Deferreds yet
    launcher.launchVideo();
    hasPlayerView = false;
    relay.mediaPlayerTimeChanged();  // the values are still taken without a page
    EXPECT_TRUE(state.volumeDeferred->isResolved());
    hasPlayer = false;
    relay.mediaPlayerTimeChanged();
    relay.mediaPlayerStateChanged();
    EXPECT_EQ(screens.homeScreenLoads, 0);
}

}  // namespace
}  // namespace lirra::testing
