// SPDX-License-Identifier: GPL-3.0-or-later
// The home screen through its states: connecting, loaded, ready, unreachable, processing a
// video, and back from the player (PlayerScreenTest); what it is told when a video cannot be
// opened.
#include "app/OpenFailureReporter.h"
#include "fakes/AppFixture.h"

namespace lirra::testing {
namespace {

TEST_F(AppTest, TheHomePageLoadsOverTheLoaderAndTakesDropsOnlyOnceReady) {
    EXPECT_EQ(home().loads_, std::vector<QUrl>{QUrl("http://service.test/Player/Home")});
    EXPECT_EQ(window().contentView_.subviews_, (std::vector<View*>{&loader(), &home()}));
    EXPECT_FALSE(home().drawsBackground_);  // the loader shows through
    home().postProgressStarted(center());
    EXPECT_TRUE(loader().isAnimating() && !loader().isLabelHidden() && loader().isCancelHidden());
    EXPECT_EQ(loader().labelText(), "Connecting...");
    EXPECT_FALSE(app_->state().draggable);
    home().postProgressFinished(center());
    EXPECT_FALSE(loader().isAnimating() || !loader().isLabelHidden());
    EXPECT_FALSE(home().drop({makeVideo("a.mkv")}));  // loaded is not ready

    navigate(home(), "app:///Execute/EnableDraggableHomeScreen");
    EXPECT_TRUE(app_->state().homePageReady && app_->state().draggable);
    EXPECT_TRUE(home().drop({makeVideo("b.mkv")}));
    EXPECT_EQ(loader().labelText(), "Searching subtitles...");
    home().postProgressFinished(center());  // a load ending meanwhile leaves the search shown
    EXPECT_TRUE(loader().isAnimating() && !loader().isLabelHidden());
    EXPECT_TRUE(home().isHidden());
}

// A file from the desktop that waits for the home page goes ahead when the page cannot load.
TEST_F(AppTest, AnUnreachableServiceIsSaidOnTheLoaderUntilTheNextReturnHome) {
    home().postProgressStarted(center());
    home().postProgressFinished(center(), /*failed=*/true);
    EXPECT_TRUE(home().isHidden());
    EXPECT_EQ(loader().labelText(), "Cannot reach the Lirra service. Open a video to try again.");
    EXPECT_FALSE(loader().isAnimating() || loader().isLabelHidden());
    const QString video = makeVideo("offline.mkv");
    app_->applicationOpenFile(video);
    EXPECT_TRUE(requests().empty());
    home().postProgressFinished(center(), /*failed=*/true);
    EXPECT_EQ(app_->state().videoLocation.text, video);
    home().postProgressFinished(center(), /*failed=*/true);  // nothing waits any more
    EXPECT_EQ(requests().size(), 1u);                        // its lookup will tell
    app_->loadHomeScreen();
    EXPECT_FALSE(home().isHidden());
    EXPECT_EQ(home().loads_.size(), 2u);
}

// Why a video could not be played: the engine's reason logged once per launch and sent to the
// home page as a string, and the line cleared by the next launch.
TEST_F(AppTest, TheEnginesReasonReachesTheLogAndTheHomePageOncePerLaunch) {
    OpenFailureReporter reporter{center(), [this] { return app_->player(); },
                                 [this] { return app_->homeWebView(); }};
    homePageReady();
    launch(makeVideo("a.mkv"));
    player().openFailure_ = "unrecognized file's format";
    stateChanged(kMediaPlayerStateError);
    stateChanged(kMediaPlayerStateError);  // told again while the alert is up: said once
    launch(makeVideo("b.mkv"), 43);
    player().openFailure_.clear();
    stateChanged(kMediaPlayerStateError);
    EXPECT_EQ(events(home()),
              (QStringList{"'nativeApp:openFailed', ''",
                           "'nativeApp:openFailed', 'unrecognized file\\'s format'",
                           "'nativeApp:openFailed', ''",
                           "'nativeApp:openFailed', 'the video engine gave no reason'"}));
    EXPECT_EQ(
        std::count(log_.begin(), log_.end(), "Couldn't open video: unrecognized file's format"), 1);
}

}  // namespace
}  // namespace lirra::testing
