#include "FramePacer.h"

#include <algorithm>

namespace lirra {

FramePacer::FramePacer(double drawingShare)
    : restPerDrawing_((1.0 - std::clamp(drawingShare, 0.05, 1.0)) /
                      std::clamp(drawingShare, 0.05, 1.0)) {}

void FramePacer::paintStarted(Clock::time_point at) { paintStarted_ = at; }

void FramePacer::frameShown(Clock::time_point at) {
    if (paintStarted_ == Clock::time_point{} || at < paintStarted_) return;
    const Clock::duration drawing = at - paintStarted_;
    rest_ = std::chrono::duration_cast<Clock::duration>(drawing * restPerDrawing_);
    ++tally_.frames;
    tally_.drawing += drawing;
    shown_ = at;
    paintStarted_ = {};
}

FramePacer::Clock::time_point FramePacer::nextPaint(Clock::time_point now) const {
    return std::max(now, shown_ + rest_);
}

}  // namespace lirra
