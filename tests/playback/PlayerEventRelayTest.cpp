#include <cmath>

#include "PlaybackFixture.h"

namespace lirra::testing {
namespace {

using RelayTest = PlaybackTest;

TEST_F(RelayTest, FitsTheWindowToTheFirstVideoStreamOncePerPlayerScreen) {
    playVideo();
    player.tracks_.push_back({QStringLiteral("video"), 640, 480});  // a second picture stream

    stateChanged(kMediaPlayerStatePlaying);
    EXPECT_EQ(window.contentAspectRatio(), (Size{1280, 720}));
    EXPECT_EQ(window.contentSizeCalls_, (std::vector<Size>{{1280, 720}}));
    EXPECT_EQ(window.contentSize(), (Size{1280, 720}));
    EXPECT_TRUE(state.playbackStarted);

    // The user resizes the window; later changes of the same video leave it alone.
    window.setContentSize(Size{800, 450});
    player.tracks_ = {{QStringLiteral("video"), 1920, 1080}};
    stateChanged(kMediaPlayerStateBuffering);
    stateChanged(kMediaPlayerStatePlaying);
    EXPECT_EQ(window.contentSize(), (Size{800, 450}));
    EXPECT_EQ(window.contentAspectRatio(), (Size{1280, 720}));
}

TEST_F(RelayTest, WaitsForAVideoStreamWithASizeBeforeFitting) {
    playVideo();
    player.tracks_ = {{QStringLiteral("audio"), 0, 0}};
    stateChanged(kMediaPlayerStateOpening);
    player.tracks_.push_back({QStringLiteral("video"), 0, 0});  // size not read yet
    stateChanged(kMediaPlayerStateBuffering);
    EXPECT_TRUE(window.contentSizeCalls_.empty());
    EXPECT_EQ(window.contentAspectRatio(), (Size{0, 0}));
    EXPECT_FALSE(state.playbackStarted);

    player.tracks_[1] = {QStringLiteral("video"), 1280, 720};
    stateChanged(kMediaPlayerStatePlaying);
    EXPECT_EQ(window.contentSizeCalls_, (std::vector<Size>{{1280, 720}}));
    EXPECT_TRUE(state.playbackStarted);
}

TEST_F(RelayTest, TheStoppedPlayerAfterGoingHomeDoesNotFitTheHomeScreen) {
    playVideo();
    player.time_ = player.length_;
    stateChanged(kMediaPlayerStatePlaying);
    window.contentSizeCalls_.clear();

    stateChanged(kMediaPlayerStatePaused);  // at the end: home, which stops the player
    ASSERT_EQ(screens.homeScreenLoads, 1);
    ASSERT_FALSE(state.playbackStarted);
    relay.mediaPlayerStateChanged();  // the engine reports the stop

    EXPECT_TRUE(window.contentSizeCalls_.empty());
    EXPECT_FALSE(state.playbackStarted) << "the next video must still be fitted";
}

TEST_F(RelayTest, APauseEndsThePlayerScreenOnlyInTheLastWholeSecond) {
    struct Case {
        std::optional<std::int32_t> time;
        std::optional<std::int32_t> length;
        bool home;
    };
    const Case cases[] = {
        {10000, 10999, true},  // 10 s of 10 s
        {10999, 10000, true},  // past the end
        {9999, 10000, false},  // 9 s of 10 s
        {0, 10400, false},     // paused at the start
        {5000, 0, true},       // a media without a length
        {std::nullopt, 0, true},
        {std::nullopt, 999, true},    // no position yet counts as 0 s of 0 s
        {5000, std::nullopt, false},  // not open yet: no end to have reached
    };
    for (const Case& c : cases) {
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
    stateChanged(kMediaPlayerStateBuffering);
    EXPECT_EQ(screens.homeScreenLoads, 0);
}

TEST(EndOfVideo, WholeSecondsTruncateTowardZero) {
    EXPECT_TRUE(isAtEnd(-1500, -1000));  // -1 s of -1 s (flooring would give -2 s)
    EXPECT_FALSE(isAtEnd(-1500, 500));   // -1 s of 0 s
    EXPECT_TRUE(isAtEnd(-999, 999));     // 0 s of 0 s
}

TEST_F(RelayTest, AnErrorNeverFitsAndAlwaysAlerts) {
    playVideo();
    stateChanged(kMediaPlayerStateError);
    EXPECT_TRUE(window.contentSizeCalls_.empty());
    EXPECT_FALSE(state.playbackStarted);
    ASSERT_EQ(application.alerts_.size(), 1u);
    EXPECT_EQ(application.alerts_[0].messageText, QStringLiteral("Couldn't open video"));
    EXPECT_EQ(screens.homeScreenLoads, 1);

    // Also once the window has been fitted.
    stateChanged(kMediaPlayerStatePlaying);
    ASSERT_TRUE(state.playbackStarted);
    stateChanged(kMediaPlayerStateError);
    EXPECT_EQ(application.alerts_.size(), 2u);
}

TEST_F(RelayTest, TheEngineSubtitlesAreSwitchedOffAfterEveryStateChange) {
    playVideo();
    for (int s : {kMediaPlayerStateOpening, kMediaPlayerStatePlaying, kMediaPlayerStatePaused,
                  kMediaPlayerStateError}) {
        player.currentVideoSubTitleIndex_ = 3;
        player.calls_.clear();
        stateChanged(s);
        EXPECT_EQ(player.currentVideoSubTitleIndex_, -1) << "state " << s;
        EXPECT_EQ(player.calls_.back(), "setCurrentVideoSubTitleIndex(-1)") << "last step";
    }
    player.calls_.clear();
    stateChanged(kMediaPlayerStatePlaying);
    EXPECT_TRUE(player.calls_.empty()) << "already off: not set again";
}

TEST_F(RelayTest, EveryTimeChangeSendsThePositionToThePage) {
    playVideo();
    relay.mediaPlayerTimeChanged();
    player.time_ = std::nullopt;
    relay.mediaPlayerTimeChanged();
    player.time_ = -2147483647 - 1;
    relay.mediaPlayerTimeChanged();
    EXPECT_EQ(playerView.asyncScripts_, (std::vector<QString>{timeUpdate("750"), timeUpdate("null"),
                                                              timeUpdate("-2147483648")}));
    EXPECT_TRUE(playerView.syncScripts_.empty()) << "never waits for the page";
}

TEST_F(RelayTest, DeferredsResolveOnceWithTheFirstAcceptableValues) {
    launcher.launchVideo();
    player.volume_ = 0;  // muted at start
    player.length_ = std::nullopt;
    player.rate_ = -1.0f;
    relay.mediaPlayerTimeChanged();
    player.volume_ = 201;
    player.rate_ = std::nanf("");
    relay.mediaPlayerTimeChanged();
    EXPECT_FALSE(state.volumeDeferred->isResolved());
    EXPECT_FALSE(state.durationDeferred->isResolved());
    EXPECT_FALSE(state.audioInfoDeferred->isResolved()) << "no audio track listed";
    EXPECT_FALSE(state.playbackSpeedDeferred->isResolved());

    playVideo();
    relay.mediaPlayerTimeChanged();
    ASSERT_TRUE(state.volumeDeferred->isResolved());
    EXPECT_EQ(std::any_cast<int>(state.volumeDeferred->result()), 200);
    ASSERT_TRUE(state.durationDeferred->isResolved());
    EXPECT_EQ(std::any_cast<std::int64_t>(state.durationDeferred->result()), 10400);
    ASSERT_TRUE(state.playbackSpeedDeferred->isResolved());
    EXPECT_EQ(std::any_cast<float>(state.playbackSpeedDeferred->result()), 1.0f);
    ASSERT_TRUE(state.audioInfoDeferred->isResolved());
    EXPECT_EQ(std::any_cast<QString>(state.audioInfoDeferred->result()),
              QStringLiteral("{audioTracks:{'English':1, 'French':2, }, audioTrack:1}"));

    // Later values of the same video change nothing.
    player.volume_ = 50;
    player.rate_ = 2.0f;
    player.length_ = 99000;
    player.audioTrackNames_ = {QStringLiteral("German")};
    relay.mediaPlayerTimeChanged();
    EXPECT_EQ(std::any_cast<int>(state.volumeDeferred->result()), 200);
    EXPECT_EQ(std::any_cast<float>(state.playbackSpeedDeferred->result()), 1.0f);
    EXPECT_EQ(std::any_cast<std::int64_t>(state.durationDeferred->result()), 10400);
    EXPECT_EQ(std::any_cast<QString>(state.audioInfoDeferred->result()).count("German"), 0);
}

TEST_F(RelayTest, VolumeBoundsAndTracksSharingAName) {
    launcher.launchVideo();
    playVideo();
    player.volume_ = 1;
    player.rate_ = 0.0f;
    player.audioTrackNames_ = {QStringLiteral("English"), QStringLiteral("English")};
    player.audioTrackIndexes_ = {1, 2};
    player.currentAudioTrackIndex_ = 2;
    relay.mediaPlayerTimeChanged();
    EXPECT_EQ(std::any_cast<int>(state.volumeDeferred->result()), 1);
    EXPECT_EQ(std::any_cast<float>(state.playbackSpeedDeferred->result()), 0.0f);
    EXPECT_EQ(std::any_cast<QString>(state.audioInfoDeferred->result()),
              QStringLiteral("{audioTracks:{'English':2, }, audioTrack:2}"));
}

TEST_F(RelayTest, WithoutDeferredsPlayerOrPageNothingBreaks) {
    playVideo();
    relay.mediaPlayerTimeChanged();  // before the first launch: no Deferreds yet
    EXPECT_EQ(playerView.asyncScripts_.size(), 1u);

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
