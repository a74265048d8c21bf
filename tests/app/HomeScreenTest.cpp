// The home screen through its states: connecting, loaded, ready, processing, player, and back.
#include "AppTestFixture.h"
#include "bridge/PageEvents.h"

namespace lirra::testing {
namespace {

TEST_F(AppTest, StartUpBuildsTheHomeScreenOnceAndLoadsTheHomePage) {
    EXPECT_TRUE(platform_.mainWindow_.fullScreenPrimary_);
    EXPECT_EQ(platform_.mainWindow_.delegate_, &app_->playerScreen());
    ASSERT_EQ(platform_.webViews_.size(), 1u);
    ASSERT_EQ(platform_.loaderViews_.size(), 1u);
    // The loader lies beneath the page, which draws no background of its own.
    const auto& subviews = platform_.mainWindow_.contentView_.subviews_;
    ASSERT_EQ(subviews.size(), 2u);
    EXPECT_EQ(subviews[0], &loader());
    EXPECT_EQ(subviews[1], &home());
    EXPECT_FALSE(home().drawsBackground_);
    EXPECT_EQ(platform_.removeAllCachedResponsesCount_, 0);  // the home page uses the cache
    ASSERT_EQ(home().loads_.size(), 1u);
    EXPECT_EQ(home().loads_[0], QUrl(kBase + "Player/Home"));

    app_->loadHomeScreen();
    EXPECT_EQ(platform_.webViews_.size(), 1u);
    EXPECT_EQ(platform_.mainWindow_.contentView_.subviews_.size(), 2u);
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

    home().clearRecords();
    app_->loadHomeScreen();
    EXPECT_FALSE(home().isHidden());
    ASSERT_EQ(home().loads_.size(), 1u);
    home().postProgressStarted(center());
    EXPECT_EQ(loader().labelText(), "Connecting...");
    home().postProgressFinished(center());
    EXPECT_TRUE(loader().isLabelHidden());
}

TEST_F(AppTest, ReturningHomeAfterReadinessRefreshesInsteadOfReloading) {
    homePageLoadsAndReportsReady();
    home().clearRecords();
    app_->loadHomeScreen();
    EXPECT_TRUE(home().loads_.empty());
    ASSERT_EQ(home().asyncScripts_.size(), 1u);
    EXPECT_EQ(home().asyncScripts_[0], pageEventScript("refreshLevel"));
    EXPECT_TRUE(loader().isLabelHidden());
}

TEST_F(AppTest, ReturningHomeWhenThePageNeverReportedReadyReloadsIt) {
    home().postProgressStarted(center());
    home().postProgressFinished(center());
    home().clearRecords();
    app_->loadHomeScreen();
    ASSERT_EQ(home().loads_.size(), 1u);
    EXPECT_EQ(home().loads_[0], QUrl(kBase + "Player/Home"));
    EXPECT_TRUE(home().asyncScripts_.empty());
}

TEST_F(AppTest, ALoadFinishingWhileAVideoIsSearchedKeepsTheLoaderShown) {
    homePageLoadsAndReportsReady();
    app_->processVideoAndLaunch(makeVideo("clip.mkv"));
    EXPECT_EQ(loader().labelText(), "Searching subtitles...");
    home().postProgressFinished(center());
    EXPECT_FALSE(loader().isLabelHidden());
    EXPECT_TRUE(loader().isAnimating());
}

TEST_F(AppTest, ReturningHomeBeforeAnyVideoStopsNothingAndClosesNothing) {
    app_->loadHomeScreen();
    EXPECT_TRUE(platform_.mediaPlayers_.empty());
    EXPECT_TRUE(platform_.playerWindows_.empty());
    EXPECT_EQ(platform_.mainWindow_.contentResizeIncrements_, (Size{1, 1}));
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
    ASSERT_FALSE(playerPage().loads_.empty());
    EXPECT_EQ(playerPage().loads_.back(), QUrl("about:blank"));
    EXPECT_FALSE(platform_.playerWindows_.at(0)->isVisible());
    EXPECT_FALSE(platform_.playerWindows_.at(1)->isVisible());
    EXPECT_EQ(platform_.mediaPlayers_.at(0)->state(), kMediaPlayerStateStopped);
    EXPECT_FALSE(app_->state().playbackStarted);
    EXPECT_FALSE(home().isHidden());
}

}  // namespace
}  // namespace lirra::testing
