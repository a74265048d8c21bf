// The player's pictures through the view's life: the player or the window going while a clip
// plays, the view hidden, and (in a Qt Quick scene) the back colour kept to the view's rectangle.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <atomic>
#include <functional>

#include "PlayerRig.h"
#include "TestMedia.h"

namespace lirra::test {
namespace {

Media clip() { return {Media::Kind::Path, testMedia().clip}; }

bool showsClip(PlayerRig& rig) {
    return qRed(rig.pixelAt(0.25)) > 200 && qBlue(rig.pixelAt(0.75)) > 200;
}

bool isGreen(QRgb pixel) { return qGreen(pixel) > 200 && qRed(pixel) < 60 && qBlue(pixel) < 60; }

class MpvVideoSurfaceTest : public ::testing::TestWithParam<Surface> {
  protected:
    void SetUp() override {
        if (testMedia().dir.isEmpty()) GTEST_SKIP() << "ffmpeg could not make the test media";
    }

    static void startPlaying(PlayerRig& rig) {
        rig.player().setMedia(clip());
        rig.player().play();
        ASSERT_TRUE(waitFor([&] { return rig.player().isPlaying() && showsClip(rig); }))
            << "state " << rig.player().state() << ", top pixel " << std::hex << rig.pixelAt(0.25);
    }
};

// The render context goes before the core, in its own GL context: the view outlives the player
// and takes the next one, which draws again.
TEST_P(MpvVideoSurfaceTest, APlayerDestroyedWhilePlayingLeavesTheViewToTheNext) {
    PlayerRig rig(GetParam());
    for (int round = 0; round < 2; ++round) {
        ASSERT_NO_FATAL_FAILURE(startPlaying(rig)) << "round " << round;
        rig.makePlayer();  // the playing one goes first
    }
    rig.destroyPlayer();
    EXPECT_FALSE(rig.grab().isNull());  // the window still draws without a player
}

INSTANTIATE_TEST_SUITE_P(BothSurfaces, MpvVideoSurfaceTest,
                         ::testing::Values(Surface::Widget, Surface::Quick),
                         ::testing::PrintToStringParamName());

class QuickVideoViewTest : public MpvVideoSurfaceTest {};

// Hidden, the view draws nothing (the window's own colour shows) and the clip goes on, its frames
// passed over as if shown rather than dropped by the engine for want of a picture.
TEST_F(QuickVideoViewTest, AHiddenViewDrawsNothingWhileTheClipGoesOnAndShowsItAgain) {
    PlayerRig rig(Surface::Quick);
    ASSERT_NO_FATAL_FAILURE(startPlaying(rig));
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
    EXPECT_TRUE(waitFor([&] { return showsClip(rig); }));
}

// The window closes under a playing clip: the render context goes with the window's GL context
// on its render thread; the view, put into another window, shows the clip again.
TEST_F(QuickVideoViewTest, AWindowClosedWhilePlayingFreesTheRenderContextAndTheViewMovesOn) {
    PlayerRig rig(Surface::Quick);
    ASSERT_NO_FATAL_FAILURE(startPlaying(rig));
    rig.destroyQuickWindow();
    EXPECT_EQ(rig.quickView()->window(), nullptr);
    ASSERT_TRUE(rig.moveToAnotherWindow());
    EXPECT_TRUE(waitFor([&] { return showsClip(rig) && rig.player().isPlaying(); }))
        << std::hex << rig.pixelAt(0.25);
    rig.destroyPlayer();
}

// The engine's new frames make the window draw (the grabs above draw on their own), and a paused
// clip leaves it idle: no frame without a new picture.
TEST_F(QuickVideoViewTest, TheWindowDrawsForEachNewFrameAndRestsWhilePaused) {
    PlayerRig rig(Surface::Quick);
    ASSERT_NO_FATAL_FAILURE(startPlaying(rig));
    std::atomic<int> frames{0};
    QObject::connect(
        rig.quickWindow(), &QQuickWindow::frameSwapped, rig.quickWindow(), [&] { ++frames; },
        Qt::DirectConnection);
    waitFor([] { return false; }, 1000);
    EXPECT_GE(frames.load(), 10) << "the clip has 25 frames a second";
    rig.player().pause();
    ASSERT_TRUE(waitFor([&] { return rig.player().state() == kMediaPlayerStatePaused; }));
    waitFor([] { return false; }, 300);
    frames = 0;
    waitFor([] { return false; }, 1000);
    EXPECT_LE(frames.load(), 2);
    QObject::disconnect(rig.quickWindow(), &QQuickWindow::frameSwapped, rig.quickWindow(), nullptr);
}

// The player goes while its render context cannot be freed on a render thread that draws: the
// window hidden (its render thread idle) or the view out of every window. It neither hangs nor
// crashes, and the next player draws once the view can be seen again.
TEST_F(QuickVideoViewTest, APlayerGoesWhileItsViewCannotBeSeen) {
    const struct {
        const char* name;
        std::function<void(PlayerRig&)> hide, show;
    } cases[] = {
        {"window hidden", [](PlayerRig& rig) { rig.quickWindow()->hide(); },
         [](PlayerRig& rig) { rig.quickWindow()->show(); }},
        {"view out of its window", [](PlayerRig& rig) { rig.quickView()->setParentItem(nullptr); },
         [](PlayerRig& rig) { rig.quickView()->setParentItem(rig.quickWindow()->contentItem()); }},
    };
    for (const auto& c : cases) {
        PlayerRig rig(Surface::Quick);
        ASSERT_NO_FATAL_FAILURE(startPlaying(rig)) << c.name;
        c.hide(rig);
        waitFor([] { return false; }, 200);  // the render thread settles
        rig.makePlayer();
        c.show(rig);
        ASSERT_NO_FATAL_FAILURE(startPlaying(rig)) << c.name;
    }
}

// Without a picture the back colour fills the view's rectangle only (frames count from the
// lower-left corner); the window's colour shows around it.
TEST_F(QuickVideoViewTest, TheBackColourFillsTheViewsRectangleOnly) {
    PlayerRig rig(Surface::Quick);
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
        const Rect frame = rig.view().frame();
        EXPECT_EQ(frame.origin.y, c.frame.origin.y) << c.name;
    }
}

// Qt Quick draws on a render thread of its own: the picture is drawn off the main thread.
TEST_F(QuickVideoViewTest, TheSceneIsDrawnOnQtQuicksRenderThread) {
    PlayerRig rig(Surface::Quick);
    bool found = false;
    for (const QString& task :
         QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + task + "/comm");
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith("QSGRenderThread")) {
            found = true;
        }
    }
    EXPECT_TRUE(found) << "Qt Quick renders on the main thread (QSG_RENDER_LOOP?)";
}

}  // namespace
}  // namespace lirra::test
