// Launch and relay on the real video engine, with media made by ffmpeg for the run; the windows,
// the page and the alerts are fakes that record what reaches them.
#include <gtest/gtest.h>

#include <QString>

#include "../mpv/PlayerRig.h"
#include "../mpv/TestMedia.h"
#include "PlaybackFixture.h"
#include "platform/mpv/MpvMediaPlayer.h"
#include "platform/mpv/MpvVideoView.h"

namespace lirra::testing {
namespace {

using test::testMedia;
using test::waitFor;

class PlaybackEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(testMedia().dir.isEmpty()) << "ffmpeg could not make the test media";
        config.baseUrl = QStringLiteral("http://127.0.0.1:1/");
        view.resize(640, 360);
        view.show();
        ASSERT_TRUE(waitFor([this] { return view.isGlInitialized(); }, 5000));
        player = std::make_unique<MpvMediaPlayer>(view, center);
        screens = std::make_unique<AppLikeScreens>(state, *player);
        context = std::make_unique<PlaybackContext>(PlaybackContext{
            state, config, application, *screens, window, [this] { return player.get(); },
            [this] { return &view; }, [this] { return &page; }, [] {}});
        launcher = std::make_unique<PlaybackLauncher>(*context);
        relay = std::make_unique<PlayerEventRelay>(*context, *launcher);
        // As the app does: both notifications, from this player only.
        const void* sender = static_cast<MediaPlayer*>(player.get());
        center.addObserver(kMediaPlayerStateChanged, sender,
                           [this](const Notification&) { relay->mediaPlayerStateChanged(); });
        center.addObserver(kMediaPlayerTimeChanged, sender,
                           [this](const Notification&) { relay->mediaPlayerTimeChanged(); });
    }
    void TearDown() override {
        if (player) player->stop();
        relay.reset();
        launcher.reset();
        player.reset();
    }

    void launch(const QString& location) {
        state.videoLocation = VideoLocation::fromText(location);
        launcher->launchVideo();
    }

    // The positions the page was told, in order ("null" while none).
    std::vector<QString> positions() const {
        std::vector<QString> out;
        const QString head = QStringLiteral("$(window).trigger('timeUpdate', ");
        for (const QString& script : page.asyncScripts_) {
            const auto at = script.indexOf(head);
            if (at < 0) continue;
            const auto from = at + head.size();
            out.push_back(script.mid(from, script.indexOf(')', from) - from));
        }
        return out;
    }

    AppState state;
    AppConfig config;
    fakes::FakeApplication application;
    fakes::FakeWindow window;
    fakes::FakeWebView page;
    NotificationCenter center;
    MpvVideoView view;
    std::unique_ptr<MpvMediaPlayer> player;
    std::unique_ptr<AppLikeScreens> screens;
    std::unique_ptr<PlaybackContext> context;
    std::unique_ptr<PlaybackLauncher> launcher;
    std::unique_ptr<PlayerEventRelay> relay;
};

TEST_F(PlaybackEngineTest, AVideoPlaysToItsEndAndReturnsHome) {
    launch(testMedia().clip);
    ASSERT_TRUE(waitFor([this] { return screens->homeScreenLoads > 0; }, 20000))
        << "state " << player->state();

    EXPECT_EQ(window.contentSizeCalls_, (std::vector<Size>{{1280, 720}}));
    EXPECT_EQ(window.contentAspectRatio(), (Size{1280, 720}));
    EXPECT_TRUE(application.alerts_.empty());
    EXPECT_EQ(view.backColor(), (Color{0, 0, 0, 1}));

    ASSERT_TRUE(state.volumeDeferred->isResolved());
    EXPECT_EQ(std::any_cast<int>(state.volumeDeferred->result()), 200);
    ASSERT_TRUE(state.durationDeferred->isResolved());
    const auto duration = std::any_cast<std::int64_t>(state.durationDeferred->result());
    EXPECT_NEAR(duration, 3000, 150);
    ASSERT_TRUE(state.playbackSpeedDeferred->isResolved());
    EXPECT_EQ(std::any_cast<float>(state.playbackSpeedDeferred->result()), 1.0f);
    ASSERT_TRUE(state.audioInfoDeferred->isResolved());
    const auto audioInfo = std::any_cast<QString>(state.audioInfoDeferred->result());
    EXPECT_TRUE(audioInfo.contains(QStringLiteral("'English':")) &&
                audioInfo.contains(QStringLiteral("'French':")))
        << audioInfo.toStdString();
    EXPECT_EQ(player->currentVideoSubTitleIndex(), -1);

    // The page heard the position move up to the end, as numbers.
    const auto told = positions();
    ASSERT_GE(told.size(), 5u);
    int last = -1;
    for (const QString& p : told) {
        if (p == QLatin1String("null")) continue;
        bool number = false;
        const int ms = p.toInt(&number);
        ASSERT_TRUE(number) << p.toStdString();
        EXPECT_GE(ms, last);
        last = ms;
    }
    EXPECT_GE(last / 1000, static_cast<int>(duration / 1000));

    // Going home stopped the player; the engine reporting that fits no window.
    waitFor([this] { return player->state() == kMediaPlayerStateStopped; }, 3000);
    waitFor([] { return false; }, 300);
    EXPECT_EQ(window.contentSizeCalls_.size(), 1u);
    EXPECT_EQ(screens->homeScreenLoads, 1);
    EXPECT_FALSE(state.playbackStarted);
}

// Files the engine cannot play and sound without a picture: the engine's side in
// MpvMediaPlayerTest, the relay's answer in RelayTest, the whole way in the end-to-end journeys.

}  // namespace
}  // namespace lirra::testing
