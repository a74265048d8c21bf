// The launched video waits for its player page: paused on its first frame until the page's load
// has finished (or failed), or until the bound; then it plays, unless it was stopped meanwhile.
#include <chrono>

#include "PlaybackFixture.h"
#include "support/qt/QtTestLoop.h"

namespace lirra::testing {
namespace {

using namespace std::chrono_literals;
using test::runEventLoopFor;
using test::runEventLoopUntil;

// Long enough that a loaded machine does not pass it while the test looks before it.
constexpr auto kBound = 600ms;

class PlayerPageWaitTest : public PlaybackTest {
  protected:
    PlayerPageWaitTest() { test::ensureCoreApplication(); }

    // The app's context: the same fakes, and the center the player page tells its loads on.
    NotificationCenter center;
    PlaybackContext waitingContext = [this] {
        PlaybackContext c = context;
        c.notificationCenter = &center;
        return c;
    }();
    PlaybackLauncher waitingLauncher{waitingContext, kBound};
    PlayerEventRelay waitingRelay{waitingContext, waitingLauncher};

    bool played() const { return player.calls_.back() == "play()"; }
};

TEST_F(PlayerPageWaitTest, TheVideoPlaysOnceThePageHasLoadedOrFailedOrTheBoundHasPassed) {
    const struct {
        const char* name;
        bool start, finish, failed;
    } cases[] = {
        {"loaded", true, true, false},
        {"could not load", true, true, true},
        {"never finishes", true, false, false},
        {"never starts", false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        player.calls_.clear();
        waitingLauncher.launchVideo();
        ASSERT_EQ(player.calls_,
                  (std::vector<std::string>{"setVolume(200)", "setMedia(/videos/clip.mkv)",
                                            "openPaused()"}));
        EXPECT_TRUE(waitingLauncher.waitingForPage());
        if (c.start) playerView.postProgressStarted(center);
        if (c.finish) {
            playerView.postProgressFinished(center, c.failed);
            EXPECT_TRUE(played());  // at once
        } else {
            runEventLoopFor(kBound / 2);
            EXPECT_FALSE(played());
            EXPECT_TRUE(runEventLoopUntil([&] { return played(); }, 2s));
        }
        EXPECT_FALSE(waitingLauncher.waitingForPage());
        EXPECT_EQ(std::count(player.calls_.begin(), player.calls_.end(), "play()"), 1);
    }
}

TEST_F(PlayerPageWaitTest, OnlyTheNewLoadCountsAndAStoppedVideoStaysStopped) {
    waitingLauncher.launchVideo();
    // The finish of the load this launch replaced comes before the new load starts.
    playerView.postProgressFinished(center, true);
    EXPECT_TRUE(waitingLauncher.waitingForPage());

    // A second launch waits for its own page, from the start.
    waitingLauncher.launchVideo();
    runEventLoopFor(kBound * 2 / 3);
    EXPECT_TRUE(waitingLauncher.waitingForPage());
    EXPECT_EQ(std::count(player.calls_.begin(), player.calls_.end(), "play()"), 0);

    // Home before the page came: the video stays stopped when the bound passes.
    screens.loadHomeScreen();
    runEventLoopFor(kBound * 2);
    EXPECT_EQ(player.calls_.back(), "stop()");
}

TEST_F(PlayerPageWaitTest, AShortVideoHeldOnItsFirstFrameIsNotAtItsEnd) {
    waitingLauncher.launchVideo();
    player.time_ = 0;
    player.length_ = 600;
    player.state_ = kMediaPlayerStatePaused;
    waitingRelay.mediaPlayerStateChanged();
    EXPECT_EQ(screens.homeScreenLoads, 0);

    playerView.postProgressStarted(center);
    playerView.postProgressFinished(center);
    player.state_ = kMediaPlayerStatePaused;  // it played to its end
    player.time_ = 600;
    waitingRelay.mediaPlayerStateChanged();
    EXPECT_EQ(screens.homeScreenLoads, 1);
}

}  // namespace
}  // namespace lirra::testing
