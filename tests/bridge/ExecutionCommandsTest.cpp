// The pages' commands, against a fake player and main window.
#include <limits>

#include "BridgeFixture.h"

namespace lirra::testing {
namespace {

using Calls = std::vector<std::string>;

TEST_F(BridgeTest, SeekToReadsWholeSecondsAndClampsMilliseconds) {
    const std::pair<const char*, std::int32_t> rows[] = {
        {"12.9", 12000},
        {"soon", 0},
        {"2147483", 2147483000},
        {"2147484", std::numeric_limits<std::int32_t>::max()},
        {"-3000000", std::numeric_limits<std::int32_t>::min()},
        {"99999999999", std::numeric_limits<std::int32_t>::max()},
    };
    for (const auto& [position, milliseconds] : rows) {
        execute("SeekTo", {{"position", position}});
        EXPECT_EQ(player.time_, milliseconds) << position;
    }
    execute("SeekTo");  // no argument at all
    EXPECT_EQ(player.time_, 0);
}

TEST_F(BridgeTest, PlayerCommands) {
    execute("SetMuted", {{"muted", "true"}});
    EXPECT_TRUE(player.muted_);
    execute("SetMuted");
    EXPECT_FALSE(player.muted_);
    // Unmuted first, then the volume, also for volume 0.
    player.muted_ = true;
    player.calls_.clear();
    execute("SetVolume", {{"volume", "0"}});
    EXPECT_EQ(player.calls_, (Calls{"setMute(false)", "setVolume(0)"}));

    player.calls_.clear();
    execute("Play");
    execute("Pause");
    execute("Pause");  // already paused: nothing
    EXPECT_EQ(player.calls_, (Calls{"play()", "pause()"}));
    execute("SetPlaybackSpeed", {{"speed", "1%2E5"}});  // still encoded: reads as 1
    EXPECT_EQ(player.rate_, 1.0f);
    execute("SetAudioTrack", {{"track", "2"}});
    EXPECT_EQ(player.currentAudioTrackIndex_, 2);

    // Unknown names and the wrong case do nothing.
    player.calls_.clear();
    for (const char* name : {"play", "Execute", "", "SetVolume "}) {
        execute(name, {{"volume", "10"}});
    }
    EXPECT_TRUE(player.calls_.empty());
}

TEST_F(BridgeTest, PlayerIsLookedUpForEveryCommandAndStopGoesHomeWithOrWithoutIt) {
    hasPlayer = false;
    for (const char* name : {"SeekTo", "SetMuted", "SetVolume", "Play", "Pause", "SetPlaybackSpeed",
                             "SetAudioTrack", "Stop"}) {
        execute(
            name,
            {{"position", "5"}, {"muted", "1"}, {"volume", "5"}, {"speed", "2"}, {"track", "3"}});
    }
    hasPlayer = true;  // the first player screen has been built
    execute("Stop");
    EXPECT_TRUE(player.calls_.empty());  // stopping the player is the home screen's business
    EXPECT_EQ(screens.homeScreenLoads, 2);
    execute("Play");
    EXPECT_EQ(player.calls_, Calls{"play()"});
}

TEST_F(BridgeTest, EnableDraggableHomeScreenTakesTheWaitingFileOnce) {
    state.draggable = false;
    execute("EnableDraggableHomeScreen");
    EXPECT_EQ(homeView.registerForDraggedFileNamesCount_, 1);
    EXPECT_TRUE(state.draggable);
    EXPECT_TRUE(state.homePageReady);
    EXPECT_TRUE(intake.locations.empty());

    state.openFilePath = QStringLiteral("/videos/clip.mkv");
    execute("EnableDraggableHomeScreen");
    ASSERT_EQ(intake.locations, std::vector<QString>{QStringLiteral("/videos/clip.mkv")});
    EXPECT_EQ(intake.openFilePathDuringCall, std::vector<QString>{QString()});  // cleared first
    EXPECT_TRUE(state.openFilePath.isEmpty());

    // After a reload of the home page: nothing waits unless the desktop handed a new file over.
    execute("EnableDraggableHomeScreen");
    EXPECT_EQ(intake.locations.size(), 1u);
}

TEST_F(BridgeTest, ResizeForTutorial) {
    // A frame taller than 510 stays.
    window.setFrame(Rect{{0, 0}, {800, 600}}, true);
    window.setContentAspectRatio(Size{16, 9});
    execute("ResizeForTutorial");
    EXPECT_TRUE(window.contentSizeCalls_.empty());

    // Smaller: content height 510 at the aspect ratio in force.
    window.setFrame(Rect{{0, 0}, {500, 400}}, true);
    execute("ResizeForTutorial");
    ASSERT_EQ(window.contentSizeCalls_.size(), 1u);
    EXPECT_NEAR(window.contentSizeCalls_[0].width, 906.6667, 1e-3);
    EXPECT_EQ(window.contentSizeCalls_[0].height, 510);

    // The frame is compared, the content is set: a frame of exactly 510 still grows.
    window.setFrame(Rect{{0, 0}, {500, 510}}, true);
    execute("ResizeForTutorial");
    ASSERT_EQ(window.contentSizeCalls_.size(), 2u);
    EXPECT_EQ(window.contentSize().height, 510);

    // Back home the ratio is lifted: the width stays.
    window.setFrame(Rect{{0, 0}, {640, 400}}, true);
    window.setContentResizeIncrements(Size{1, 1});
    execute("ResizeForTutorial");
    ASSERT_EQ(window.contentSizeCalls_.size(), 3u);
    EXPECT_EQ(window.contentSizeCalls_[2], (Size{640, 510}));
}

TEST_F(BridgeTest, ResizeForPaymentAlwaysSetsItsSize) {
    window.setFrame(Rect{{0, 0}, {1600, 1000}}, true);
    execute("ResizeForPayment");
    EXPECT_EQ(window.contentSize(), (Size{1105, 570}));
}

}  // namespace
}  // namespace lirra::testing
