#include "PlaybackFixture.h"

namespace lirra::testing {
namespace {

using fakes::FakeApplication;

TEST_F(PlaybackTest, LaunchShowsThePlayerThenLoadsThePageAndPlaysAtFullVolume) {
    const auto previousVolume = Deferred::deferred();
    state.volumeDeferred = previousVolume;
    previousVolume->resolve(80);
    // The player screen comes first: nothing of the new video exists yet when it is shown.
    screens.onLoadPlayerScreen = [&] {
        EXPECT_EQ(state.volumeDeferred, previousVolume);
        EXPECT_TRUE(playerView.loads_.empty());
        EXPECT_TRUE(player.calls_.empty());
    };
    videoView.backColor_ = Color{0.9, 0.9, 0.9, 1};

    launcher.launchVideo();

    EXPECT_EQ(screens.playerScreenLoads, 1);
    for (const auto& deferred : {state.durationDeferred, state.audioInfoDeferred,
                                 state.playbackSpeedDeferred, state.volumeDeferred}) {
        ASSERT_NE(deferred, nullptr);
        EXPECT_FALSE(deferred->isResolved());
    }
    ASSERT_EQ(playerView.loads_.size(), 1u);
    EXPECT_EQ(playerView.loads_[0].toString(),
              QStringLiteral("http://127.0.0.1:8123/Player/Play?videoId=42"));
    EXPECT_EQ(player.calls_,
              (std::vector<std::string>{"setVolume(200)", "setMedia(/videos/clip.mkv)", "play()"}));
    ASSERT_TRUE(player.media_);
    EXPECT_EQ(player.media_->kind, Media::Kind::Path);
    EXPECT_EQ(videoView.backColor_, (Color{0, 0, 0, 1}));
    EXPECT_EQ(loaderHides, 1);
}

TEST_F(PlaybackTest, ASecondLaunchStartsTheNewVideoAndReleasesTheOldRequestsUnanswered) {
    launcher.launchVideo();
    auto waiter = std::make_shared<int>(0);
    std::weak_ptr<int> watch = waiter;
    bool answered = false;
    state.volumeDeferred->promise()->when(
        [waiter, &answered](const std::any&) { answered = true; });
    waiter.reset();
    const auto firstVolume = state.volumeDeferred;
    state.videoLocation =
        VideoLocation::fromText(QStringLiteral("http://127.0.0.1:9000/other.mkv"));
    state.videoId = -1;  // printed as an unsigned 64-bit number

    launcher.launchVideo();
    EXPECT_NE(state.volumeDeferred, firstVolume);
    EXPECT_TRUE(watch.expired());  // no longer held by the pending request
    EXPECT_FALSE(answered);
    EXPECT_EQ(playerView.url_.toString(),
              QStringLiteral("http://127.0.0.1:8123/Player/Play?videoId=18446744073709551615"));
    ASSERT_TRUE(player.media_);
    EXPECT_EQ(player.media_->kind, Media::Kind::Url);
    EXPECT_EQ(player.media_->location, QStringLiteral("http://127.0.0.1:9000/other.mkv"));
}

TEST_F(PlaybackTest, LaunchWithoutPlayerOrPageStillPreparesTheDeferredsAndHidesTheLoader) {
    hasPlayer = hasVideoView = hasPlayerView = false;
    launcher.launchVideo();
    EXPECT_NE(state.volumeDeferred, nullptr);
    EXPECT_TRUE(player.calls_.empty());
    EXPECT_TRUE(playerView.loads_.empty());
    EXPECT_EQ(loaderHides, 1);
}

// The alert's modal loop keeps delivering the player's notifications.
class ReenteringApplication : public FakeApplication {
  public:
    int runModalAlert(const AlertSpec& alert) override {
        homeLoadsWhileShowing = screens->homeScreenLoads;
        if (onAlert) onAlert();
        return FakeApplication::runModalAlert(alert);
    }
    AppLikeScreens* screens = nullptr;
    int homeLoadsWhileShowing = -1;
    std::function<void()> onAlert;
};

TEST(PlayingErrorAlert, AlertsOnceWithTheSupportAddressThenGoesHome) {
    AppState state;
    AppConfig config;
    config.supportEmail = QStringLiteral("help@example.org");
    ReenteringApplication application;
    fakes::FakeMediaPlayer player;
    AppLikeScreens screens{state, player};
    fakes::FakeWindow window;
    application.screens = &screens;
    PlaybackContext context{state, config, application, screens, window, {}, {}, {}, {}};
    PlaybackLauncher launcher{context};
    int nested = 0;
    application.onAlert = [&] {
        if (nested++ == 0) launcher.alertVideoPlayingError();  // reported while the alert is up
    };

    launcher.alertVideoPlayingError();
    ASSERT_EQ(application.alerts_.size(), 1u);
    EXPECT_EQ(application.alerts_[0].messageText, QStringLiteral("Couldn't open video"));
    EXPECT_EQ(application.alerts_[0].informativeText,
              QStringLiteral("Lirra failed to open your video - if you feel that we should have "
                             "been able to play this file, please report your problem to us at "
                             "help@example.org"));
    EXPECT_EQ(application.homeLoadsWhileShowing, 0) << "home only once the user has answered";
    EXPECT_EQ(screens.homeScreenLoads, 1);

    // Once dismissed, a later error alerts again.
    launcher.alertVideoPlayingError();
    EXPECT_EQ(application.alerts_.size(), 2u);
    EXPECT_EQ(screens.homeScreenLoads, 2);
}

}  // namespace
}  // namespace lirra::testing
