// SPDX-License-Identifier: GPL-3.0-or-later
// The pages' data requests (app:///Request/NAME?guid=GUID) and their "response:GUID" replies in
// the player page, with the values the player reports.
#include "fakes/AppFixture.h"

namespace lirra::testing {
namespace {

class DataRequestTest : public AppTest {
  protected:
    void ask(const QString& name, const QString& arguments) {
        navigate(platform_.webViews_.size() > 1 ? page() : home(),
                 "app:///Request/" + name + "?" + arguments);
    }
    // The replies the player page has received.
    QStringList replies() {
        return QStringList(page().asyncScripts_.begin(), page().asyncScripts_.end())
            .filter("'response:");
    }
    static QString reply(const QString& guid, const QString& value) {
        return "if(typeof $ != 'undefined'){ $(window).trigger('response:" + guid + "', " + value +
               "); }";
    }
    // The player's values once a video plays (each distinct from the others).
    void playerReports() {
        player().length_ = 754321;
        player().volume_ = 200;
        player().rate_ = 1.5f;
        player().audioTrackNames_ = {"English"};
        player().audioTrackIndexes_ = {1};
        player().currentAudioTrackIndex_ = 1;
        timeChanged();
    }
};

// Each asked twice before its value is known and once after, with guids as the pages encode them.
TEST_F(DataRequestTest, EveryRequestIsAnsweredWithItsOwnValueInRequestOrder) {
    launch(makeVideo("it's.mkv"));
    window().fullScreen_ = true;
    const std::pair<QString, QString> rows[] = {
        {"Duration", "754321"},
        {"AudioInfo", "{audioTracks:{'English':1, }, audioTrack:1}"},
        {"Volume", "200"},
        {"PlaybackSpeed", "1.5"},
        {"IsFullscreen", "true"},
        {"FileName", R"('it\'s.mkv')"},
        {"Commands",
         "['Stop','EnableDraggableHomeScreen','ResizeForTutorial','ResizeForPayment','SeekTo',"
         "'SeekToMs','SetMuted','SetVolume','Play','Pause','SetPlaybackSpeed','SetAudioTrack',"
         "'WatchMoment','ToggleFullscreen']"},
    };
    for (const auto& [name, value] : rows) {
        ask(name, "guid=" + name + "%261");
        ask(name, "guid=" + name + "%262&x=y");
    }
    playerReports();
    for (const auto& [name, value] : rows) ask(name, "guid=" + name + "%263");
    EXPECT_EQ(replies().size(), 21);
    for (const auto& [name, value] : rows) {
        QStringList expected;
        for (const char* n : {"1", "2", "3"}) expected << reply(name + "%26" + n, value);
        EXPECT_EQ(replies().filter("'response:" + name + "%26"), expected) << name.toStdString();
    }
}

// Unanswered: before the first launch, without a guid, an unknown name, and what a launch left
// waiting when the next one came.
TEST_F(DataRequestTest, RequestsThatGetNoReply) {
    for (const char* name : {"Duration", "AudioInfo", "PlaybackSpeed", "Volume"})
        ask(name, "guid=early");
    launch(makeVideo("first.mkv"));
    for (const char* name : {"IsFullscreen", "FileName", "Volume"}) ask(name, "gid=1");
    for (const char* name : {"duration", "Execute", "FileName%20"}) ask(name, "guid=u");
    ask("Volume", "guid=first");
    launch(makeVideo("second.mkv"));
    playerReports();
    EXPECT_TRUE(replies().empty());
    ask("IsFullscreen", "guid=");  // present but empty: the page named it so
    EXPECT_EQ(replies(), QStringList{reply("", "false")});
}

}  // namespace
}  // namespace lirra::testing
