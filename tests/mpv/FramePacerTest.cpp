// The repaint pacing: after a frame that took D to draw and show, the next may start once the
// main thread has had D * (1 - share) / share to itself.
#include <gtest/gtest.h>

#include "platform/mpv/FramePacer.h"

namespace lirra::test {
namespace {

using namespace std::chrono_literals;
using Clock = FramePacer::Clock;

TEST(FramePacerTest, LeavesTheMainThreadItsShareAfterEachFrame) {
    const Clock::time_point t0{};
    const struct {
        const char* name;
        double share;
        Clock::duration started, shown, ready, paint, shownAgain = {};
    } cases[] = {
        {"half: a 20 ms frame earns 20 ms of rest", 0.5, 100ms, 120ms, 125ms, 140ms},
        {"a frame ready after the rest is painted at once", 0.5, 100ms, 120ms, 150ms, 150ms},
        {"a quarter: 10 ms of drawing earn 30 ms", 0.25, 100ms, 110ms, 111ms, 140ms},
        {"all: never held back", 1.0, 100ms, 180ms, 181ms, 181ms},
        // The window composed again for another layer: no paint of ours started.
        {"a shown frame not painted here changes nothing", 0.5, 10ms, 30ms, 40ms, 50ms, 200ms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FramePacer pacer(c.share);
        EXPECT_EQ(pacer.nextPaint(t0 + 5ms), t0 + 5ms);  // nothing drawn yet
        pacer.paintStarted(t0 + c.started);
        pacer.frameShown(t0 + c.shown);
        if (c.shownAgain > Clock::duration{}) pacer.frameShown(t0 + c.shownAgain);
        EXPECT_EQ(pacer.nextPaint(t0 + c.ready), t0 + c.paint);
    }
}

}  // namespace
}  // namespace lirra::test
