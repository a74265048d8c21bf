// The player's pictures through the Qt Quick view's life: the player or the window going while a
// clip plays, the view moving or hidden, its back colour kept to its rectangle, the window drawn
// only for new frames, on Qt Quick's render thread.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "PlayerRig.h"
#include "TestMedia.h"

namespace lirra::test {
namespace {

class QuickVideoViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (testMedia().dir.isEmpty()) GTEST_SKIP() << "ffmpeg could not make the test media";
        ASSERT_TRUE(rig.playClip(testMedia().clip))
            << "state " << rig.player().state() << ", top pixel " << std::hex << rig.pixelAt(0.25);
    }

    PlayerRig rig;
};

// Each way the render context must go before the core, or cannot be freed on a render thread
// that draws: the view outlives its player, and the next player draws once the view can be
// seen; a window closed under a playing clip takes the render context with its GL context, and
// in another window (another scene graph, another render thread) the picture follows, upright.
TEST_F(QuickVideoViewTest, ThePictureSurvivesPlayersAndWindowsGoingAndTheViewMoving) {
    const struct {
        const char* name;
        std::function<void(PlayerRig&)> before, after;  // around a new player
    } cases[] = {
        {"player destroyed while playing", [](PlayerRig&) {}, [](PlayerRig&) {}},
        {"window hidden", [](PlayerRig& r) { r.window()->hide(); },
         [](PlayerRig& r) { r.window()->show(); }},
        {"view out of its window", [](PlayerRig& r) { r.view().setParentItem(nullptr); },
         [](PlayerRig& r) { r.view().setParentItem(r.window()->contentItem()); }},
    };
    for (const auto& c : cases) {
        c.before(rig);
        waitFor([] { return false; }, 200);  // the render thread settles
        rig.makePlayer();
        c.after(rig);
        ASSERT_TRUE(rig.playClip(testMedia().clip)) << c.name;
    }
    rig.show();  // another window: the player stays, the engine takes the video up again
    EXPECT_TRUE(waitFor([&] { return rig.showsClip(); })) << std::hex << rig.pixelAt(0.25);
    rig.destroyWindow();
    EXPECT_EQ(rig.view().window(), nullptr);
    rig.show();
    EXPECT_TRUE(waitFor([&] { return rig.showsClip() && rig.player().isPlaying(); }))
        << std::hex << rig.pixelAt(0.25);
    EXPECT_FALSE(rig.reached(kMediaPlayerStateError));
    rig.destroyPlayer();
    EXPECT_FALSE(rig.grab().isNull());  // the window still draws without a player
}

// Hidden, the view draws nothing (the window's own colour shows) and the clip goes on, its frames
// passed over as if shown rather than dropped by the engine for want of a picture.
TEST_F(QuickVideoViewTest, AHiddenViewDrawsNothingWhileTheClipGoesOnAndShowsItAgain) {
    rig.view().setHidden(true);
    EXPECT_TRUE(rig.view().isHidden());
    EXPECT_TRUE(waitFor([&] { return isGreen(rig.pixelAt(0.25)); }))
        << std::hex << rig.pixelAt(0.25);
    const std::int32_t hiddenAt = rig.player().time().value_or(0);
    const auto drops = rig.engine("frame-drop-count");
    EXPECT_TRUE(waitFor([&] { return rig.player().time().value_or(0) > hiddenAt + 600; }, 3000))
        << "the clock stood still at " << hiddenAt;
    EXPECT_EQ(rig.engine("frame-drop-count"), drops);
    rig.view().setHidden(false);
    EXPECT_FALSE(rig.view().isHidden());
    EXPECT_TRUE(waitFor([&] { return rig.showsClip(); }));
}

// The engine's new frames make the window draw (the grabs above draw on their own), also while the
// main thread is busy, and a paused clip leaves it idle: no frame without a new picture. Drawn
// off the main thread.
TEST_F(QuickVideoViewTest, TheWindowDrawsOnItsRenderThreadForEachNewFrameAndRestsWhilePaused) {
    bool renderThread = false;
    for (const QString& task :
         QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + task + "/comm");
        renderThread = renderThread || (comm.open(QIODevice::ReadOnly) &&
                                        comm.readAll().startsWith("QSGRenderThread"));
    }
    EXPECT_TRUE(renderThread) << "Qt Quick renders on the main thread (QSG_RENDER_LOOP?)";
    std::atomic<int> frames{0};
    QObject::connect(
        rig.window(), &QQuickWindow::frameSwapped, rig.window(), [&] { ++frames; },
        Qt::DirectConnection);
    waitFor([] { return false; }, 1000);
    EXPECT_GE(frames.load(), 10) << "the clip has 25 frames a second";
    frames = 0;
    std::this_thread::sleep_for(std::chrono::seconds(1));  // the main thread busy elsewhere
    EXPECT_GE(frames.load(), 10) << "new frames wait for the main thread";
    rig.player().pause();
    ASSERT_TRUE(waitFor([&] { return rig.player().state() == kMediaPlayerStatePaused; }));
    waitFor([] { return false; }, 300);
    frames = 0;
    waitFor([] { return false; }, 1000);
    EXPECT_LE(frames.load(), 2);
    QObject::disconnect(rig.window(), &QQuickWindow::frameSwapped, rig.window(), nullptr);
}

// Without a picture the back colour fills the view's rectangle only (frames count from the
// lower-left corner); the window's colour shows around it.
TEST_F(QuickVideoViewTest, TheBackColourFillsTheViewsRectangleOnly) {
    rig.player().stop();
    rig.view().setBackColor({1, 0, 0, 1});
    const struct {
        const char* name;
        Rect frame;
        QPoint inside, outside;  // in the 640x360 window, top-left origin
    } cases[] = {
        {"lower left quarter", {{0, 0}, {320, 180}}, {100, 300}, {500, 60}},
        {"upper right quarter", {{320, 180}, {320, 180}}, {500, 60}, {100, 300}},
        {"a band in the middle", {{0, 120}, {640, 120}}, {320, 180}, {320, 40}},
    };
    for (const auto& c : cases) {
        rig.view().setFrame(c.frame);
        EXPECT_TRUE(waitFor([&] {
            const QImage image = rig.grab();
            const QRgb in = image.pixel(c.inside);
            return qRed(in) > 200 && qGreen(in) < 60 && isGreen(image.pixel(c.outside));
        })) << c.name;
        EXPECT_EQ(rig.view().frame(), c.frame) << c.name;
    }
}

}  // namespace
}  // namespace lirra::test
