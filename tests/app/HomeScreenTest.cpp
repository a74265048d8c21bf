// The home screen through its states: connecting, loaded, ready, processing, player, and back.
#include "AppTestFixture.h"

namespace lirra::testing {
namespace {

// The home page painted in a fresh window, and refreshed on a return home: the end-to-end
// journeys.

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

// A home page that cannot load, said on the loader: the end-to-end journey of an unreachable
// service.

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
