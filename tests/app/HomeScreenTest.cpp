// SPDX-License-Identifier: GPL-3.0-or-later
// The home screen through its states: connecting, loaded, ready, unreachable, processing a
// video, the player, and back.
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

TEST_F(AppTest, AnUnreachableServiceIsSaidOnTheLoaderUntilTheNextReturnHome) {
    home().postProgressStarted(center());
    home().postProgressFinished(center(), /*failed=*/true);
    EXPECT_TRUE(home().isHidden());
    EXPECT_EQ(loader().labelText(), "Cannot reach the Lirra service. Open a video to try again.");
    EXPECT_FALSE(loader().isAnimating() || loader().isLabelHidden());
    app_->loadHomeScreen();
    EXPECT_FALSE(home().isHidden());
    EXPECT_EQ(home().loads_.size(), 2u);
}

TEST_F(AppTest, ReturningHomeEmptiesThePlayerPageClosesItsWindowsAndRefreshesAReadyHomePage) {
    homePageReady();
    launch(makeVideo("clip.mkv"));
    window().fullScreen_ = true;
    app_->state().playbackStarted = true;
    window().setContentAspectRatio(Size{16, 9});
    home().asyncScripts_.clear();

    app_->loadHomeScreen();
    EXPECT_FALSE(window().fullScreen_);
    EXPECT_EQ(page().loads_.back(), QUrl("about:blank"));
    EXPECT_FALSE(overlay().isVisible() || videoWindow().isVisible());
    EXPECT_EQ(player().state(), kMediaPlayerStateStopped);
    EXPECT_FALSE(app_->state().playbackStarted);
    EXPECT_EQ(window().contentAspectRatio(), Size{});
    EXPECT_FALSE(home().isHidden());
    EXPECT_EQ(home().loads_.size(), 1u);  // a ready page is not loaded again, it is told
    EXPECT_EQ(
        home().asyncScripts_,
        std::vector<QString>{"if(typeof $ != 'undefined'){ $(window).trigger('refreshLevel'); }"});
}

}  // namespace
}  // namespace lirra::testing
