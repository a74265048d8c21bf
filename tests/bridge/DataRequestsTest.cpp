// Data requests and their "response:" replies in the player page.
#include <utility>

#include "BridgeFixture.h"

namespace lirra::testing {
namespace {

using Replies = std::vector<QString>;

class DataRequestTest : public BridgeTest {
  protected:
    DataRequestTest() {
        // As a launch leaves them.
        state.durationDeferred = Deferred::deferred();
        state.audioInfoDeferred = Deferred::deferred();
        state.volumeDeferred = Deferred::deferred();
        state.playbackSpeedDeferred = Deferred::deferred();
    }
};

TEST_F(DataRequestTest, FullScreenAndFileNameAreAnsweredAtOnceAsLiterals) {
    request("IsFullscreen", {{"guid", "a1"}});
    window.toggleFullScreen();
    request("IsFullscreen", {{"guid", "a2"}});
    state.videoFileName = QStringLiteral("clip.mkv");
    request("FileName", {{"guid", "3f2b-11"}});
    state.videoFileName = QStringLiteral("it's.mkv");
    request("FileName", {{"guid", "n"}});
    state.videoFileName.clear();  // before any video was analysed
    request("FileName", {{"guid", "e"}});
    // The guid is escaped inside the event name.
    request("IsFullscreen", {{"guid", "x'); alert(1); ('"}});
    EXPECT_EQ(replies(),
              (Replies{reply("a1", "false"), reply("a2", "true"), reply("3f2b-11", "'clip.mkv'"),
                       reply("n", R"('it\'s.mkv')"), reply("e", "''"),
                       QStringLiteral("if(typeof $ != 'undefined'){ "
                                      "$(window).trigger('response:x\\'); alert(1); "
                                      "(\\'', true); }")}));
}

TEST_F(DataRequestTest, WaitingRequestsAreAnsweredInRequestOrderWhenResolved) {
    request("Volume", {{"guid", "a"}});
    request("Volume", {{"guid", "b"}});
    request("Duration", {{"guid", "d"}});
    request("Duration", {{"guid", "d"}});  // the same guid twice gets two replies
    EXPECT_TRUE(replies().empty());

    state.volumeDeferred->resolve(200);
    EXPECT_EQ(replies(), (Replies{reply("a", "200"), reply("b", "200")}));
    state.durationDeferred->resolve(std::int32_t{754321});
    EXPECT_EQ(replies().size(), 4u);
    EXPECT_EQ(replies()[2], reply("d", "754321"));
    EXPECT_EQ(replies()[3], reply("d", "754321"));

    // Once resolved, later requests are answered during the request.
    request("Volume", {{"guid", "c"}});
    EXPECT_EQ(replies().back(), reply("c", "200"));
    EXPECT_EQ(replies().size(), 5u);
}

TEST_F(DataRequestTest, SpeedAndAudioInformationReplies) {
    request("PlaybackSpeed", {{"guid", "s"}});
    state.playbackSpeedDeferred->resolve(1.0f);
    request("AudioInfo", {{"guid", "i"}});
    const QString info = QStringLiteral("{audioTracks:{'English':1, 'French':2, }, audioTrack:1}");
    state.audioInfoDeferred->resolve(info);
    EXPECT_EQ(replies(), (Replies{reply("s", "1"), reply("i", info.toLatin1().constData())}));

    state.playbackSpeedDeferred = Deferred::deferred();
    state.playbackSpeedDeferred->resolve(0.5f);
    request("PlaybackSpeed", {{"guid", "h"}});
    EXPECT_EQ(replies().back(), reply("h", "0.5"));
}

TEST_F(DataRequestTest, NoGuidUnknownNamesAndValuesOfTheWrongTypeGetNoReply) {
    state.videoFileName = QStringLiteral("clip.mkv");
    for (const char* name : {"IsFullscreen", "FileName", "Duration", "Volume"}) {
        request(name, {{"gid", "1"}});
    }
    for (const char* name : {"duration", "Request", "Execute", "Position", ""}) {
        request(name, {{"guid", "u"}});
    }
    request("Volume", {{"guid", "v"}});
    request("AudioInfo", {{"guid", "i"}});
    state.durationDeferred->resolve(1000);
    state.volumeDeferred->resolve(QStringLiteral("200"));
    state.audioInfoDeferred->resolve(42);
    EXPECT_TRUE(replies().empty());

    request("IsFullscreen", {{"guid", ""}});  // present but empty: the page named it so
    EXPECT_EQ(replies(), Replies{reply("", "false")});
}

TEST_F(DataRequestTest, RepliesBeforeThePlayerPageExistsAreDropped) {
    hasPlayerView = false;
    request("IsFullscreen", {{"guid", "early"}});
    request("Volume", {{"guid", "waiting"}});
    hasPlayerView = true;  // the player page now exists; nothing is replayed
    EXPECT_TRUE(replies().empty());
    // The waiting one looks for the page when its value arrives.
    state.volumeDeferred->resolve(200);
    EXPECT_EQ(replies(), Replies{reply("waiting", "200")});
}

TEST_F(DataRequestTest, ReplacedDeferredsLeaveOldRequestsUnanswered) {
    request("Duration", {{"guid", "old"}});
    const auto previous = std::exchange(state.durationDeferred, Deferred::deferred());
    request("Duration", {{"guid", "new"}});
    state.durationDeferred->resolve(2000);
    EXPECT_EQ(replies(), Replies{reply("new", "2000")});
    // A pending promise keeps itself alive through its callbacks; settle it so nothing leaks.
    previous->reject(nullptr);
    EXPECT_EQ(replies().size(), 1u);
}

TEST_F(DataRequestTest, WaitingRepliesOutliveTheBridge) {
    request("Volume", {{"guid", "late"}});
    destroyBridge();
    state.volumeDeferred->resolve(200);
    EXPECT_EQ(replies(), Replies{reply("late", "200")});
}

TEST_F(BridgeTest, BeforeTheFirstLaunchWaitingValuesAreNeverAnswered) {
    for (const char* name : {"Duration", "AudioInfo", "PlaybackSpeed", "Volume"}) {
        request(name, {{"guid", "g"}});
    }
    EXPECT_TRUE(replies().empty());
}

}  // namespace
}  // namespace lirra::testing
