// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's notifications relayed: the window fitted, the end, its subtitles kept off, the
// position told to the page, the values its requests wait for.
#include <cmath>

#include "fakes/AppFixture.h"
#include "playback/PlayerEventRelay.h"

namespace lirra::testing {
namespace {

class RelayTest : public AppTest {
  protected:
    void SetUp() override {
        launch(makeVideo("clip.mkv"));
        player().tracks_ = {{"audio", 0, 0}, {"video", 0, 0}};  // the size is not read yet
        player().length_ = 10400;
    }
};

TEST_F(RelayTest, TheWindowIsFittedOnceToTheFirstVideoStreamWithASizeAndAgainForTheNextVideo) {
    stateChanged(kMediaPlayerStateBuffering);
    player().tracks_ = {{"audio", 0, 0}, {"video", 1280, 720}, {"video", 640, 480}};
    for (int state : {kMediaPlayerStateStopped, kMediaPlayerStateEnded})
        stateChanged(state);  // no picture to fit
    EXPECT_TRUE(window().contentSizeCalls_.empty());
    stateChanged(kMediaPlayerStatePlaying);
    stateChanged(kMediaPlayerStatePlaying);  // the user may have resized it since
    EXPECT_EQ(window().contentAspectRatio(), (Size{1280, 720}));
    EXPECT_EQ(window().contentSizeCalls_, (std::vector<Size>{{1280, 720}}));

    // At the end: home, which stops the player; that stop must not fit the home screen.
    window().contentSizeCalls_.clear();
    player().time_ = 10400;
    stateChanged(kMediaPlayerStatePaused);
    EXPECT_FALSE(playerShown());
    stateChanged(kMediaPlayerStateStopped);
    EXPECT_TRUE(window().contentSizeCalls_.empty());
    launch(makeVideo("next.mkv"));
    stateChanged(kMediaPlayerStatePlaying);
    EXPECT_EQ(window().contentSizeCalls_, (std::vector<Size>{{1280, 720}}));
}

// Compared in whole seconds (truncated); no position counts as 0, no length is no end.
TEST_F(RelayTest, APauseInTheLastWholeSecondEndsTheVideoButNotOneHeldForItsPage) {
    const struct {
        std::optional<std::int32_t> time, length;
        bool end;
    } rows[] = {
        {10000, 10999, true},      {10999, 10000, true},        {9999, 10000, false},
        {std::nullopt, 999, true}, {5000, std::nullopt, false}, {-1500, -1000, true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(isAtEnd(row.time, row.length), row.end)
            << row.time.value_or(-1) << " of " << row.length.value_or(-1);
    app_->processVideoAndLaunch(makeVideo("short.mkv"));  // shorter than a second
    answer(R"({"videoId":2})");
    player().time_ = 0, player().length_ = 600;
    stateChanged(kMediaPlayerStatePaused);  // on its first frame, waiting for its page
    EXPECT_TRUE(playerShown());
    page().postProgressStarted(center());
    page().postProgressFinished(center());
    player().time_ = 600;
    stateChanged(kMediaPlayerStatePlaying);  // only a pause is an end
    EXPECT_TRUE(playerShown());
    stateChanged(kMediaPlayerStatePaused);
    EXPECT_FALSE(playerShown());
    EXPECT_EQ(log_.back(), "Video ended at 600 of 600 ms");
}

// An error alerts (PlaybackLauncherTest) without fitting the window.
TEST_F(RelayTest, TheEnginesSubtitlesGoOffAfterEveryStateChange) {
    player().tracks_[1] = {"video", 1280, 720};
    for (int state : {kMediaPlayerStateError, kMediaPlayerStateOpening, kMediaPlayerStatePaused}) {
        player().currentVideoSubTitleIndex_ = 3;
        stateChanged(state);
        EXPECT_EQ(player().calls_.back(), "setCurrentVideoSubTitleIndex(-1)") << state;
        EXPECT_EQ(window().contentSizeCalls_.size(), state == kMediaPlayerStateError ? 0u : 1u);
    }
    player().calls_.clear();
    stateChanged(kMediaPlayerStatePlaying);
    EXPECT_TRUE(player().calls_.empty()) << "already off: not set again";
}

// Volume (200 full; 0, the muted start), length (ms), rate, audio tracks: resolved once, first fit.
TEST_F(RelayTest, EveryTimeChangeTellsThePageAndResolvesWhatIsKnownOnce) {
    AppState& state = app_->state();
    const struct {
        int volume;
        std::optional<std::int32_t> time, length;
        float rate;
        QStringList names;
    } reports[] = {
        {0, std::nullopt, std::nullopt, std::nanf(""), {}},
        {201, 750, std::nullopt, -1, {}},
        {200, 1750, 10400, 1.0f, {"English", "English"}},
        {50, 2750, 99000, 2.0f, {"French"}},
    };
    page().asyncScripts_.clear();
    player().audioTrackIndexes_ = {1, 2};
    player().currentAudioTrackIndex_ = 2;
    for (const auto& report : reports) {
        player().volume_ = report.volume, player().rate_ = report.rate;
        player().time_ = report.time, player().length_ = report.length;
        player().audioTrackNames_ = report.names;
        timeChanged();
        for (auto* known : {&state.volumeDeferred, &state.durationDeferred,
                            &state.playbackSpeedDeferred, &state.audioInfoDeferred})
            EXPECT_EQ((*known)->isResolved(), &report >= &reports[2]) << report.volume;
    }
    EXPECT_EQ(std::any_cast<int>(state.volumeDeferred->result()), 200);
    EXPECT_EQ(std::any_cast<std::int64_t>(state.durationDeferred->result()), 10400);
    EXPECT_EQ(std::any_cast<float>(state.playbackSpeedDeferred->result()), 1.0f);
    EXPECT_EQ(std::any_cast<QString>(state.audioInfoDeferred->result()),
              "{audioTracks:{'English':2, }, audioTrack:2}");
    const QString timeUpdate =
        "if(typeof $ != 'undefined'){ $(window).trigger('timeUpdate', %1); }";
    EXPECT_EQ(page().asyncScripts_,
              (std::vector<QString>{timeUpdate.arg("null"), timeUpdate.arg(750),
                                    timeUpdate.arg(1750), timeUpdate.arg(2750)}));
    EXPECT_TRUE(page().syncScripts_.empty());
    launch(makeVideo("next.mkv"));  // the lowest volume that is an answer
    player().volume_ = 1;
    timeChanged();
    EXPECT_EQ(std::any_cast<int>(state.volumeDeferred->result()), 1);
}

}  // namespace
}  // namespace lirra::testing
