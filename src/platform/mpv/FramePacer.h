// Paces the video's repaints. With software GL, drawing a frame and composing the window block
// the main thread, which also carries the web engine's work: a repaint may start only once the
// main thread has had, since the last frame was shown, as much time again as that frame took
// (by default). A machine fast enough for every frame is never held back.
#pragma once

#include <chrono>
#include <utility>

namespace lirra {

class FramePacer {
  public:
    using Clock = std::chrono::steady_clock;

    // `drawingShare`: the part of the main thread's time that drawing may take (0 < share <= 1).
    explicit FramePacer(double drawingShare = 0.5);

    void paintStarted(Clock::time_point at);
    void frameShown(Clock::time_point at);
    // When a frame that is ready at `now` may be painted: `now`, or later.
    Clock::time_point nextPaint(Clock::time_point now) const;

    // Frames shown and the main thread's time they took, since the last call.
    struct Tally {
        int frames = 0;
        Clock::duration drawing{};
    };
    Tally takeTally() { return std::exchange(tally_, Tally{}); }

  private:
    double restPerDrawing_;
    Clock::time_point paintStarted_{};
    Clock::time_point shown_{};
    Clock::duration rest_{};
    Tally tally_;
};

}  // namespace lirra
