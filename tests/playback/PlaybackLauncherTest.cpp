#include <limits>

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
    const std::vector<std::shared_ptr<Deferred>> deferreds{
        state.durationDeferred, state.audioInfoDeferred, state.playbackSpeedDeferred,
        state.volumeDeferred};
    for (const auto& deferred : deferreds) {
        ASSERT_NE(deferred, nullptr);
        EXPECT_FALSE(deferred->isResolved());
        EXPECT_EQ(std::count(deferreds.begin(), deferreds.end(), deferred), 1);
    }
    EXPECT_NE(state.volumeDeferred, previousVolume);
    ASSERT_EQ(playerView.loads_.size(), 1u);
    EXPECT_EQ(playerView.loads_[0].toString(),
              QStringLiteral("http://127.0.0.1:8123/Player/Play?videoId=42"));
    EXPECT_EQ(player.calls_,
              (std::vector<std::string>{"setVolume(200)", "setMedia(/videos/clip.mkv)", "play()"}));
    ASSERT_TRUE(player.media_);
    EXPECT_EQ(player.media_->kind, Media::Kind::Path);
    EXPECT_EQ(videoView.backColor_, (Color{0, 0, 0, 1}));
    EXPECT_EQ(loaderHides, 1);
    EXPECT_EQ(screens.homeScreenLoads, 0);
}

TEST_F(PlaybackTest, ASecondLaunchStartsTheNewVideoWithFreshDeferreds) {
    launcher.launchVideo();
    const auto firstDuration = state.durationDeferred;
    firstDuration->resolve(std::int64_t{5000});
    state.videoLocation =
        VideoLocation::fromText(QStringLiteral("http://127.0.0.1:9000/other.mkv"));
    state.videoId = 7;

    launcher.launchVideo();

    EXPECT_NE(state.durationDeferred, firstDuration);
    EXPECT_FALSE(state.durationDeferred->isResolved());
    EXPECT_EQ(playerView.url_.toString(),
              QStringLiteral("http://127.0.0.1:8123/Player/Play?videoId=7"));
    ASSERT_TRUE(player.media_);
    EXPECT_EQ(player.media_->kind, Media::Kind::Url);
    EXPECT_EQ(player.media_->location, QStringLiteral("http://127.0.0.1:9000/other.mkv"));
    EXPECT_EQ(player.calls_.back(), "play()");
}

TEST_F(PlaybackTest, ASecondLaunchReleasesRequestsWaitingOnThePreviousVideoWithoutAnswering) {
    launcher.launchVideo();
    auto waiter = std::make_shared<int>(0);
    std::weak_ptr<int> watch = waiter;
    bool answered = false;
    state.volumeDeferred->promise()->when(
        [waiter, &answered](const std::any&) { answered = true; });
    waiter.reset();
    ASSERT_FALSE(watch.expired());  // held by the pending request

    launcher.launchVideo();
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(answered);
}

TEST_F(PlaybackTest, LaunchWithoutPlayerOrPageStillPreparesTheDeferredsAndHidesTheLoader) {
    hasPlayer = hasVideoView = hasPlayerView = false;
    launcher.launchVideo();
    EXPECT_NE(state.volumeDeferred, nullptr);
    EXPECT_TRUE(player.calls_.empty());
    EXPECT_TRUE(playerView.loads_.empty());
    EXPECT_EQ(loaderHides, 1);
}

TEST(PlayerPageUrl, PrintsTheIdAsAnUnsigned64BitNumber) {
    const QString base = QStringLiteral("http://h/");
    EXPECT_EQ(playerPageUrl(base, 0), QStringLiteral("http://h/Player/Play?videoId=0"));
    EXPECT_EQ(playerPageUrl(base, 2147483647),
              QStringLiteral("http://h/Player/Play?videoId=2147483647"));
    EXPECT_EQ(playerPageUrl(base, -1),
              QStringLiteral("http://h/Player/Play?videoId=18446744073709551615"));
    EXPECT_EQ(playerPageUrl(base, -2147483648LL),
              QStringLiteral("http://h/Player/Play?videoId=18446744071562067968"));
    EXPECT_EQ(playerPageUrl(base, std::numeric_limits<std::int64_t>::min()),
              QStringLiteral("http://h/Player/Play?videoId=9223372036854775808"));
}

TEST(MediaForLocation, TheKindTakenInIsCarriedToTheEngine) {
    using Kind = VideoLocation::Kind;
    struct Case {
        VideoLocation location;
        Media::Kind kind;
    };
    // The text is not looked at again: the kind decided at intake wins.
    const Case cases[] = {
        {{QStringLiteral("http://127.0.0.1:8080/video.mkv"), Kind::Url}, Media::Kind::Url},
        {{QStringLiteral("/home/me/My Videos/clip one.mkv"), Kind::File}, Media::Kind::Path},
        {{QStringLiteral("http://127.0.0.1:8080/named-so.mkv"), Kind::File}, Media::Kind::Path},
        {{QStringLiteral("not a url"), Kind::Url}, Media::Kind::Url},
    };
    for (const Case& c : cases) {
        const Media media = mediaForLocation(c.location);
        EXPECT_EQ(media.kind, c.kind) << c.location.text.toStdString();
        EXPECT_EQ(media.location, c.location.text) << "passed on unchanged";
    }
}

TEST_F(PlaybackTest, PlayingErrorAlertsWithTheSupportAddressThenGoesHome) {
    launcher.alertVideoPlayingError();

    ASSERT_EQ(application.alerts_.size(), 1u);
    const AlertSpec& alert = application.alerts_[0];
    EXPECT_EQ(alert.messageText, QStringLiteral("Couldn't open video"));
    EXPECT_EQ(alert.informativeText,
              QStringLiteral("Lirra failed to open your video - if you feel that we should have "
                             "been able to play this file, please report your problem to us at "
                             "help@example.org"));
    EXPECT_EQ(alert.buttons, QStringList{QStringLiteral("OK")});
    EXPECT_EQ(alert.style, AlertStyle::kWarning);
    EXPECT_EQ(screens.homeScreenLoads, 1);
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

TEST(PlayingErrorAlert, AnErrorReportedWhileTheAlertIsUpAddsNoSecondAlert) {
    AppState state;
    AppConfig config;
    ReenteringApplication application;
    fakes::FakeMediaPlayer player;
    AppLikeScreens screens{state, player};
    fakes::FakeWindow window;
    application.screens = &screens;
    PlaybackContext context{state, config, application, screens, window, {}, {}, {}, {}};
    PlaybackLauncher launcher{context};
    int nested = 0;
    application.onAlert = [&] {
        if (nested++ == 0) launcher.alertVideoPlayingError();
    };

    launcher.alertVideoPlayingError();
    EXPECT_EQ(application.alerts_.size(), 1u);
    EXPECT_EQ(application.homeLoadsWhileShowing, 0) << "home only once the user has answered";
    EXPECT_EQ(screens.homeScreenLoads, 1);

    // Once dismissed, a later error alerts again.
    launcher.alertVideoPlayingError();
    EXPECT_EQ(application.alerts_.size(), 2u);
    EXPECT_EQ(screens.homeScreenLoads, 2);
}

}  // namespace
}  // namespace lirra::testing
