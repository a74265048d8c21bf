// SPDX-License-Identifier: GPL-3.0-or-later
// The ways a video comes in: drops, File > Open, the desktop's open requests, and the processing
// step they all end in, up to the lookup request.
#include <QFileInfo>

#include "bridge/PageEvents.h"
#include "fakes/AppFixture.h"

namespace lirra::testing {
namespace {

TEST_F(AppTest, AVideoTakenInIsHashedAndLookedUpWithTheHomePagesLanguage) {
    home().answers_.insert(kNativeLanguageQuery, "spa");
    home().answers_.insert("document.documentElement.lang", "es");  // the menus follow the pages
    std::vector<QString> folders, languages;
    app_->setVideoFolderObserver([&folders](const QString& folder) { folders.push_back(folder); });
    app_->setInterfaceLanguageObserver([&](const QString& tag) { languages.push_back(tag); });
    app_->processVideoAndLaunch("http://media.test/films/clip.mkv");  // no folder of its own
    EXPECT_EQ(platform_.httpClient_.exchanges_.at(0).request.method, "HEAD");
    const QString video = makeVideo("My Film.mkv", 65536);
    app_->processVideoAndLaunch(video);
    EXPECT_EQ(folders, std::vector<QString>{QFileInfo(video).absolutePath()});
    EXPECT_EQ(languages, (std::vector<QString>{"es", "es"}));
    EXPECT_EQ(app_->state().videoLocation, VideoLocation::fromText(video));
    ASSERT_EQ(requests().size(), 1u);
    // 64 KiB of "v": the size plus twice 8192 words of 0x7676767676767676.
    EXPECT_EQ(requests()[0].request.body,
              "fileSize=65536&movieHash=9d9d9d9d9d9e8000&fileName=My+Film.mkv"
              "&targetLanguageCode=eng&nativeLanguageCode=spa");
    EXPECT_EQ(requests()[0].request.url, QUrl("http://service.test/Player/GetSubtitlesToDownload"));
}

// A remote hash takes seconds. When it comes for a video that another one has replaced, or that
// was cancelled, it is not looked up: the current video keeps its lookup, its name and its id.
// Cancel during a lookup lets it go: its late answer launches nothing.
TEST_F(AppTest, ALateHashOrLookupIsDroppedForTheVideoTakenInOrCancelledSince) {
    homePageReady();
    auto& exchanges = platform_.httpClient_.exchanges_;
    const auto hashArrives = [&] {  // the newest remote hash's HEAD and its two ranges answered
        for (const UrlResponse& answer :
             {UrlResponse{200, 70000, {}, {}}, UrlResponse{206, -1, QByteArray(65536, 'a'), {}},
              UrlResponse{206, -1, QByteArray(65536, 'b'), {}}}) {
            const auto completion = exchanges.back().completion;  // adds the next exchange
            completion(answer);
        }
    };
    app_->processVideoAndLaunch("http://media.test/late.mkv");
    const QString file = makeVideo("file.mkv");
    app_->processVideoAndLaunch(file);
    ASSERT_EQ(requests().size(), 1u);  // the file is looked up at once
    hashArrives();
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_FALSE(requests()[0].connection->cancelled_);
    answer(R"({"videoId":5})");
    EXPECT_EQ(player().media_->location, file);
    EXPECT_EQ(page().loads_.back(), QUrl("http://service.test/Player/Play?videoId=5"));

    app_->loadHomeScreen();
    app_->processVideoAndLaunch("http://media.test/cancelled.mkv");
    EXPECT_TRUE(loader().pressCancel());
    hashArrives();
    EXPECT_EQ(requests().size(), 1u);
    EXPECT_FALSE(home().isHidden());

    app_->processVideoAndLaunch(makeVideo("looked-up.mkv"));
    ASSERT_TRUE(loader().pressCancel());
    EXPECT_TRUE(loader().isLabelHidden() && loader().isCancelHidden());
    EXPECT_TRUE(requests().at(1).connection->cancelled_);
    requests()[1].respond(200, R"({"videoId":1})");
    EXPECT_FALSE(playerShown());
    launch(makeVideo("next.mkv"), 7);
    EXPECT_TRUE(player().isPlaying());
}

TEST_F(AppTest, DropsTakeOneFileAndADropOnThePlayerPageEndsTheVideo) {
    homePageReady();
    EXPECT_FALSE(home().drop({makeVideo("a.mkv"), makeVideo("b.mkv")}));
    EXPECT_TRUE(requests().empty());
    launch(makeVideo("first.mkv"));
    const QString second = makeVideo("second.mkv");
    EXPECT_TRUE(page().drop({second}));
    EXPECT_FALSE(playerShown());
    EXPECT_EQ(player().state(), kMediaPlayerStateStopped);
    EXPECT_EQ(app_->state().videoLocation.text, second);
}

TEST_F(AppTest, AFileFromTheDesktopWaitsForTheHomePageAndOnlyTheLastOneCounts) {
    EXPECT_TRUE(app_->applicationOpenFile(makeVideo("first.mkv")));
    const QString second = makeVideo("second.mkv");
    EXPECT_TRUE(app_->applicationOpenFile(second));
    home().postProgressStarted(center());
    home().postProgressFinished(center());  // loaded is not ready
    EXPECT_TRUE(requests().empty());
    navigate(home(), "app:///Execute/EnableDraggableHomeScreen");
    EXPECT_EQ(app_->state().videoLocation.text, second);
    EXPECT_TRUE(app_->state().openFilePath.isEmpty());
    navigate(home(), "app:///Execute/EnableDraggableHomeScreen");  // a reload: nothing waits
    EXPECT_EQ(requests().size(), 1u);
    const QString third = makeVideo("third.mkv");
    EXPECT_TRUE(app_->applicationOpenFile(third));  // while the page is ready: at once
    EXPECT_EQ(app_->state().videoLocation.text, third);
    ASSERT_EQ(requests().size(), 2u);
    EXPECT_TRUE(requests()[0].connection->cancelled_ && !requests()[1].connection->cancelled_)
        << "the lookup left behind is cancelled";
}

TEST_F(AppTest, FileOpenAndThePagesFileButtonsAskForFiles) {
    homePageReady();
    auto& application = platform_.application_;
    application.openPanelAnswers_ = {std::nullopt, QStringList{makeVideo("chosen.mkv")}};
    app_->fileMenuController().open();  // cancelled
    EXPECT_TRUE(requests().empty());
    app_->fileMenuController().open();
    EXPECT_EQ(app_->state().videoLocation.text, dir_.filePath("chosen.mkv"));
    EXPECT_FALSE(application.openPanels_.at(0).allowsMultipleSelection);

    answer(R"({"videoId":1})");
    application.openPanelAnswers_ = {std::nullopt, QStringList{"/subs/a.srt"}};
    EXPECT_FALSE(page().clickFileButton().has_value());  // cancelled: the button keeps its file
    EXPECT_EQ(page().clickFileButton(), QStringList{"/subs/a.srt"});
    EXPECT_EQ(application.openPanels_.at(2).allowedFileTypes,
              (QStringList{"srt", "SRT", "sub", "SUB"}));
}

}  // namespace
}  // namespace lirra::testing
