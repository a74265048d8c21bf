// The home screen through its states: connecting, loaded, ready, processing, player, and back.
#include "AppTestFixture.h"

namespace lirra::testing {
namespace {

TEST_F(AppTest, StartUpBuildsTheHomeScreenOnceAndLoadsTheHomePage) {
    // The loader lies beneath the page, which draws no background of its own.
    const auto& subviews = platform_.mainWindow_.contentView_.subviews_;
    ASSERT_EQ(subviews.size(), 2u);
    EXPECT_EQ(subviews[0], &loader());
    EXPECT_EQ(subviews[1], &home());
    EXPECT_FALSE(home().drawsBackground_);
    EXPECT_EQ(home().loads_, std::vector<QUrl>{QUrl(kBase + "Player/Home")});

    app_->loadHomeScreen();  // never reported ready: loaded again, not refreshed
    EXPECT_EQ(platform_.webViews_.size(), 1u);
    EXPECT_EQ(home().loads_.size(), 2u);
    EXPECT_TRUE(home().asyncScripts_.empty());
}

TEST_F(AppTest, ConnectingShowsTheLoaderAndRefusesDropsUntilThePageIsReady) {
    home().postProgressStarted(center());
    EXPECT_TRUE(loader().isAnimating());
    EXPECT_EQ(loader().labelText(), "Connecting...");
    EXPECT_FALSE(loader().isLabelHidden());
    EXPECT_FALSE(app_->state().draggable);

    home().postProgressFinished(center());
    EXPECT_FALSE(loader().isAnimating());
    EXPECT_TRUE(loader().isLabelHidden());
    EXPECT_FALSE(home().drop({makeVideo("a.mkv")}));  // loaded is not ready

    navigateFromHome("app:///Execute/EnableDraggableHomeScreen");
    EXPECT_TRUE(app_->state().homePageReady);
    EXPECT_TRUE(app_->state().draggable);
    EXPECT_TRUE(home().drop({makeVideo("b.mkv")}));
}

TEST_F(AppTest, AHomePageThatCannotLoadIsSaidOnTheLoaderUntilTheNextReturnHome) {
    home().postProgressStarted(center());
    home().postProgressFinished(center(), /*failed=*/true);
    EXPECT_TRUE(home().isHidden());  // not the engine's blank error page
    EXPECT_FALSE(loader().isLabelHidden());
    EXPECT_EQ(loader().labelText(), HomeScreen::kUnreachableText);
    EXPECT_FALSE(app_->state().draggable);

    app_->loadHomeScreen();
    EXPECT_FALSE(home().isHidden());
    home().postProgressStarted(center());
    EXPECT_EQ(loader().labelText(), "Connecting...");
}

// Returning home to a page that reported ready refreshes it: the end-to-end journeys.

TEST_F(AppTest, ALoadFinishingWhileAVideoIsSearchedKeepsTheLoaderShown) {
    homePageLoadsAndReportsReady();
    app_->processVideoAndLaunch(makeVideo("clip.mkv"));
    EXPECT_EQ(loader().labelText(), "Searching subtitles...");
    home().postProgressFinished(center());
    EXPECT_FALSE(loader().isLabelHidden());
    EXPECT_TRUE(loader().isAnimating());
}

TEST_F(AppTest, LeavingThePlayerEmptiesItsPageBeforeClosingItsWindows) {
    homePageLoadsAndReportsReady();
    app_->loadPlayerScreen();
    ASSERT_TRUE(playerShown());
    platform_.mainWindow_.fullScreen_ = true;
    app_->state().playbackStarted = true;
    playerPage().clearRecords();

    app_->loadHomeScreen();
    EXPECT_FALSE(platform_.mainWindow_.fullScreen_);
    EXPECT_EQ(playerPage().loads_, std::vector<QUrl>{QUrl("about:blank")});
    EXPECT_FALSE(platform_.playerWindows_.at(0)->isVisible());
    EXPECT_FALSE(platform_.playerWindows_.at(1)->isVisible());
    EXPECT_EQ(platform_.mediaPlayers_.at(0)->state(), kMediaPlayerStateStopped);
    EXPECT_FALSE(app_->state().playbackStarted);
}

}  // namespace
}  // namespace lirra::testing
