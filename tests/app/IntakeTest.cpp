// The ways a video comes in: drops, File > Open, the desktop's open requests, and the processing
// step they all end in, up to the lookup request and the launch.
#include <QFileInfo>

#include "AppTestFixture.h"

namespace lirra::testing {
namespace {

// The lookup request (file name, size, language) and its answer launching the player page: the
// end-to-end journeys, over http too.

TEST_F(AppTest, TwoDroppedFilesAreRefused) {
    homePageLoadsAndReportsReady();
    EXPECT_FALSE(home().drop({makeVideo("a.mkv"), makeVideo("b.mkv")}));
    EXPECT_TRUE(platform_.httpClient_.connections_.empty());
    EXPECT_FALSE(home().isHidden());
}

TEST_F(AppTest, ADropOnThePlayerPageEndsTheVideoAndTakesTheNewOne) {
    homePageLoadsAndReportsReady();
    app_->processVideoAndLaunch(makeVideo("first.mkv"));
    answerLookup(200, R"({"videoId": 1})");
    platform_.mainThread_.runAll();
    ASSERT_TRUE(playerShown());
    playerPage().registerForDraggedFileNames();  // the toolkit offers drops to both views

    const QString second = makeVideo("second.mkv");
    EXPECT_TRUE(playerPage().drop({second}));
    EXPECT_FALSE(playerShown());
    EXPECT_EQ(platform_.mediaPlayers_.at(0)->state(), kMediaPlayerStateStopped);
    EXPECT_EQ(app_->state().videoLocation.text, second);
}

TEST_F(AppTest, AFileFromTheDesktopWaitsForTheHomePageAndOnlyTheLastOneCounts) {
    const QString first = makeVideo("first.mkv");
    const QString second = makeVideo("second.mkv");
    EXPECT_TRUE(app_->applicationOpenFile(first));
    EXPECT_TRUE(app_->applicationOpenFile(second));
    EXPECT_TRUE(platform_.httpClient_.connections_.empty());

    homePageLoadsAndReportsReady();
    EXPECT_EQ(app_->state().videoLocation.text, second);
    EXPECT_TRUE(app_->state().openFilePath.isEmpty());
    EXPECT_EQ(platform_.httpClient_.connections_.size(), 1u);

    // The page reports ready again (after a reload): nothing is waiting, nothing happens.
    navigateFromHome("app:///Execute/EnableDraggableHomeScreen");
    EXPECT_EQ(platform_.httpClient_.connections_.size(), 1u);
    // While the page is ready, a file is processed at once.
    const QString third = makeVideo("third.mkv");
    EXPECT_TRUE(app_->applicationOpenFile(third));
    EXPECT_EQ(app_->state().videoLocation.text, third);
    EXPECT_EQ(platform_.httpClient_.connections_.size(), 2u);
}

TEST_F(AppTest, AFileFromTheDesktopGoesAheadWhenTheHomePageCannotLoad) {
    const QString video = makeVideo("offline.mkv");
    EXPECT_TRUE(app_->applicationOpenFile(video));
    home().postProgressStarted(center());
    home().postProgressFinished(center());  // loaded: the file waits for readiness
    EXPECT_EQ(app_->state().openFilePath, video);
    EXPECT_TRUE(platform_.httpClient_.connections_.empty());

    home().postProgressStarted(center());
    home().postProgressFinished(center(), /*failed=*/true);
    EXPECT_EQ(app_->state().videoLocation.text, video);
    EXPECT_EQ(platform_.httpClient_.connections_.size(), 1u);  // the lookup will tell

    // Failing again with nothing waiting starts nothing.
    home().postProgressFinished(center(), /*failed=*/true);
    EXPECT_EQ(platform_.httpClient_.connections_.size(), 1u);
}

TEST_F(AppTest, FileOpenTakesTheChosenFileAndCancellingChangesNothing) {
    homePageLoadsAndReportsReady();
    platform_.application_.openPanelAnswers_.push_back(std::nullopt);
    app_->fileMenuController().open();
    EXPECT_TRUE(platform_.httpClient_.connections_.empty());

    const QString video = makeVideo("chosen.mkv");
    platform_.application_.openPanelAnswers_.push_back(QStringList{video});
    app_->fileMenuController().open();
    EXPECT_EQ(app_->state().videoLocation.text, video);
}

TEST_F(AppTest, APageFileButtonGetsSubtitleFilesOrNothingWhenCancelled) {
    homePageLoadsAndReportsReady();
    app_->loadPlayerScreen();
    platform_.application_.openPanelAnswers_.push_back(std::nullopt);
    EXPECT_FALSE(playerPage().clickFileButton().has_value());
    EXPECT_EQ(platform_.application_.openPanels_.at(0).allowedFileTypes,
              (QStringList{"srt", "SRT", "sub", "SUB"}));

    platform_.application_.openPanelAnswers_.push_back(QStringList{"/subs/a.srt"});
    EXPECT_EQ(playerPage().clickFileButton(), QStringList{"/subs/a.srt"});
}

TEST_F(AppTest, OnlyALocalFileTellsItsFolder) {
    std::vector<QString> folders;
    app_->setVideoFolderObserver([&folders](const QString& folder) { folders.push_back(folder); });
    homePageLoadsAndReportsReady();
    app_->processVideoAndLaunch("http://media.test/films/clip.mkv");
    const QString video = makeVideo("local.mkv");
    app_->processVideoAndLaunch(video);
    EXPECT_EQ(folders, std::vector<QString>{QFileInfo(video).absolutePath()});
}

}  // namespace
}  // namespace lirra::testing
