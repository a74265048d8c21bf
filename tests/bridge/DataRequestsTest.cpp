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

// Answered at once (FileName, IsFullscreen): the end-to-end journeys; guids and names as
// literals: PageScriptsTest.

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

TEST_F(DataRequestTest, NoGuidUnknownNamesAndValuesOfTheWrongTypeGetNoReply) {
    state.videoFileName = QStringLiteral("clip.mkv");
    for (const char* name : {"IsFullscreen", "FileName", "Duration"}) {
        request(name, {{"gid", "1"}});
    }
    for (const char* name : {"duration", "Execute", ""}) {
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

TEST_F(DataRequestTest, RepliesGoToThePlayerPageOfTheMomentEvenAfterTheBridgeIsGone) {
    hasPlayerView = false;
    request("IsFullscreen", {{"guid", "early"}});
    request("Volume", {{"guid", "waiting"}});
    hasPlayerView = true;  // the player page now exists; nothing is replayed
    EXPECT_TRUE(replies().empty());
    destroyBridge();
    // The waiting one looks for the page when its value arrives.
    state.volumeDeferred->resolve(200);
    EXPECT_EQ(replies(), Replies{reply("waiting", "200")});
}

TEST_F(BridgeTest, BeforeTheFirstLaunchWaitingValuesAreNeverAnswered) {
    for (const char* name : {"Duration", "AudioInfo", "PlaybackSpeed", "Volume"}) {
        request(name, {{"guid", "g"}});
    }
    EXPECT_TRUE(replies().empty());
}

}  // namespace
}  // namespace lirra::testing
