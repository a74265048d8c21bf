// SPDX-License-Identifier: GPL-3.0-or-later
// Launching: the player and its page, the video paused on its first frame until a page load
// begun since ends (the bound: the journeys); the alert when it cannot play.
#include <QUrl>

#include "fakes/AppFixture.h"

namespace lirra::testing {
namespace {

using Calls = std::vector<std::string>;

TEST_F(AppTest, LaunchShowsThePlayerLoadsThePageAndPlaysAtFullVolumeOnceThePageHasLoaded) {
    const QString video = makeVideo("clip.mkv");
    app_->processVideoAndLaunch(video);
    EXPECT_FALSE(playerShown());
    answer(R"({"videoId":42})");
    EXPECT_TRUE(playerShown());
    EXPECT_EQ(page().loads_, std::vector<QUrl>{QUrl("http://service.test/Player/Play?videoId=42")});
    EXPECT_EQ(player().calls_,
              (Calls{"setVolume(200)", "setMedia(" + video.toStdString() + ")", "openPaused()"}));
    EXPECT_EQ(player().media_->kind, Media::Kind::Path);
    EXPECT_EQ(platform_.videoViews_.at(0)->backColor_, (Color{0, 0, 0, 1}));
    EXPECT_FALSE(loader().isAnimating() || !loader().isLabelHidden());

    page().postProgressFinished(center());  // the end of a load the launch replaced
    page().postProgressStarted(center());
    home().postProgressStarted(center());
    home().postProgressFinished(center());  // another page's
    EXPECT_EQ(player().calls_.back(), "openPaused()");
    app_->processVideoAndLaunch(video);  // again: the load under way is not the new launch's
    answer(R"({"videoId":43})");
    page().postProgressFinished(center());
    EXPECT_EQ(player().calls_.back(), "openPaused()");
    page().postProgressStarted(center());
    page().postProgressFinished(center(), /*failed=*/true);  // a page that failed counts too
    EXPECT_EQ(player().calls_.back(), "play()");
    EXPECT_EQ(log_.back(), "The player page could not be loaded: the video plays without it");
}

// The page's "Pause" (on document-ready), a later "Play" or a "Stop" while it loads decides what
// follows the load; each launch starts out playing.
TEST_F(AppTest, APauseOrPlayFromThePageWhileItLoadsDecidesWhetherTheVideoPlaysAfter) {
    const std::pair<QStringList, std::string> rows[] = {{{"Stop"}, "stop()"},
                                                        {{"Pause"}, "openPaused()"},
                                                        {{}, "play()"},
                                                        {{"Pause", "Play"}, "play()"},
                                                        {{"Play", "Pause"}, "openPaused()"}};
    for (const auto& [commands, last] : rows) {
        app_->processVideoAndLaunch(makeVideo("clip.mkv"));
        answer(R"({"videoId":1})");
        page().postProgressStarted(center());
        for (const QString& command : commands) navigate(page(), "app:///Execute/" + command);
        page().postProgressFinished(center());
        EXPECT_EQ(player().calls_.back(), last) << commands.join(",").toStdString();
        EXPECT_EQ(player().isPlaying(), last == "play()");
    }
    navigate(page(), "app:///Execute/Play");  // the wait is over: the player is told at once
    EXPECT_EQ(player().calls_.back(), "play()");
}

// A second video over http, with a negative id: a fresh set of values, the old requests let go.
TEST_F(AppTest, ASecondLaunchStartsAfreshAndLetsTheFirstVideosRequestsGo) {
    launch(makeVideo("first.mkv"));
    navigate(page(), "app:///Request/Duration?guid=g");  // waits on the first video's value
    const std::weak_ptr<Deferred> first = app_->state().durationDeferred;
    launch("http://127.0.0.1:9000/other.mkv", -1);
    EXPECT_EQ(std::tuple(first.expired(), page().loads_.back(), player().media_->kind,
                         player().media_->location),
              std::tuple(true, QUrl("http://service.test/Player/Play?videoId=18446744073709551615"),
                         Media::Kind::Url, QString("http://127.0.0.1:9000/other.mkv")));
}

// Errors again during the alert's modal loop add no alert; home comes once it is answered.
TEST_F(AppTest, AVideoTheEngineCannotPlayAlertsOnceWithTheSupportAddressThenGoesHome) {
    launch(makeVideo("broken.mkv"));
    int homeLoadsDuringAlert = -1;
    platform_.application_.onAlert_ = [&] {
        platform_.application_.onAlert_ = nullptr;
        stateChanged(kMediaPlayerStateError);
        homeLoadsDuringAlert = int(home().loads_.size());
    };
    stateChanged(kMediaPlayerStateError);
    ASSERT_EQ(platform_.application_.alerts_.size(), 1u);
    const AlertSpec& alert = platform_.application_.alerts_[0];
    EXPECT_EQ(alert.style, AlertStyle::kWarning);
    EXPECT_EQ(alert.messageText + " | " + alert.informativeText + " | " + alert.buttons.join(','),
              "Couldn't open video | Lirra failed to open your video - if you feel that we should "
              "have been able to play this file, please report your problem to us at "
              "support@lirra.app | OK");
    EXPECT_EQ(homeLoadsDuringAlert, 1);
    EXPECT_FALSE(playerShown());
    stateChanged(kMediaPlayerStateError);  // once answered, a later error alerts again
    EXPECT_EQ(platform_.application_.alerts_.size(), 2u);
}

}  // namespace
}  // namespace lirra::testing
