// SPDX-License-Identifier: GPL-3.0-or-later
// The player's pictures through the Qt Quick view's life.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "PlayerRig.h"

namespace lirra::test {
namespace {

// Each way the render context must go before the core; in another window, the picture follows.
// Then a new player's frames: hidden, passed over as if shown, not dropped; they count from the
// lower left.
TEST(QuickVideoViewTest, ThePictureSurvivesPlayersAndWindowsGoingAndIsDrawnOnTheRenderThread) {
    if (testMedia().dir.isEmpty()) GTEST_SKIP() << "ffmpeg could not make the test media";
    std::atomic<int> frames{0};  // outlives the rig: its windows count into it to their end
    PlayerRig rig;
    ASSERT_TRUE(rig.playClip(testMedia().clip))
        << "state " << rig.player().state() << ", top pixel " << std::hex << rig.pixelAt(0.25);
    auto playsClip = [&] { return rig.player().isPlaying() && rig.showsClip(); };
    auto newPlayer = [&](std::function<void()> before, std::function<void()> after) {
        return [=, &rig] {
            before();
            runEventLoopFor(std::chrono::milliseconds(200));  // the render thread settles
            rig.makePlayer();
            after();
            rig.playClip(testMedia().clip);
        };
    };
    ASSERT_TRUE(runSteps({
        {"the player destroyed while playing", newPlayer([] {}, [] {}), playsClip},
        {"the window hidden",
         newPlayer([&] { rig.window()->hide(); }, [&] { rig.window()->show(); }), playsClip},
        {"the view out of its window",
         newPlayer([&] { rig.view().setParentItem(nullptr); },
                   [&] { rig.view().setParentItem(rig.window()->contentItem()); }),
         playsClip},
        // The player stays; the engine takes the video up again.
        {"another window", [&] { rig.show(); }, playsClip},
        {"that window closed", [&] { rig.destroyWindow(); }, [&] { return !rig.view().window(); }},
        {"and one more", [&] { rig.show(); }, playsClip},
        {"no error", {}, [&] { return !rig.reached(kMediaPlayerStateError); }},
        {"the window draws without a player", [&] { rig.destroyPlayer(); },
         [&] { return !rig.grab().isNull(); }},
        {"a new player plays", [&] { rig.makePlayer(), rig.playClip(testMedia().clip); },
         playsClip},
    }));

    constexpr Color kRed{1, 0, 0, 1};
    QObject::connect(
        rig.window(), &QQuickWindow::frameSwapped, rig.window(), [&] { ++frames; },
        Qt::DirectConnection);
    auto wait = [](int ms) { runEventLoopFor(std::chrono::milliseconds(ms)); };
    MpvMediaPlayer& p = rig.player();
    std::int32_t hiddenAt = 0;
    std::optional<std::string> drops;
    int busyFrames = 0;
    std::vector<Step> steps = {
        {"25 frames a second, drawn", [&] { frames = 0, wait(1000); },
         [&] { return frames >= 10; }},
        {"also while the main thread is busy elsewhere",
         [&] {
             frames = 0, std::this_thread::sleep_for(std::chrono::seconds(1));
             busyFrames = frames;  // before the main thread runs again
         },
         [&] { return busyFrames >= 10; }},
        {"paused", [&] { p.pause(); }, [&] { return p.state() == kMediaPlayerStatePaused; }},
        {"no frame without a new picture", [&] { wait(300), frames = 0, wait(1000); },
         [&] { return frames <= 2; }},
        {"hidden: the window's colour",
         [&] { rig.playClip(testMedia().clip), rig.view().setHidden(true); },
         [&] { return rig.view().isHidden() && isGreen(rig.pixelAt(0.25)); }},
        {"the clock goes on, no frame dropped",
         [&] { hiddenAt = p.time().value_or(0), drops = rig.engine("frame-drop-count"); },
         [&] { return p.time() > hiddenAt + 600 && rig.engine("frame-drop-count") == drops; }},
        {"shown again", [&] { rig.view().setHidden(false); },
         [&] { return !rig.view().isHidden() && rig.showsClip(); }},
        {"stopped, in red", [&] { p.stop(), rig.view().setBackColor(kRed); },
         [&] { return p.state() == kMediaPlayerStateStopped; }},
    };
    const struct {
        Rect frame;
        QPoint inside, outside;  // in the 640x360 window, top-left origin
    } rects[] = {
        {{{0, 0}, {320, 180}}, {100, 300}, {500, 60}},      // lower left quarter
        {{{320, 180}, {320, 180}}, {500, 60}, {100, 300}},  // upper right quarter
        {{{0, 120}, {640, 120}}, {320, 180}, {320, 40}},    // a band in the middle
    };
    for (const auto& f : rects) {
        steps.push_back({"the back colour in the frame only", [&] { rig.view().setFrame(f.frame); },
                         [&] {
                             const QImage image = rig.grab();
                             const QRgb in = image.pixel(f.inside);
                             return rig.view().frame() == f.frame && qRed(in) > 200 &&
                                    qGreen(in) < 60 && isGreen(image.pixel(f.outside));
                         }});
    }
    EXPECT_TRUE(runSteps(steps)) << "frames " << frames << ", time " << p.time().value_or(-1);
}

}  // namespace
}  // namespace lirra::test
