// SPDX-License-Identifier: GPL-3.0-or-later
// Fits the timing of one subtitle track onto a reference track of the same video from the cue
// times alone: reference time = track time × scale + offset. Std only; no text is ever compared.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace lirra::sync {

struct CueTimes {
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
};

// A time t of the fitted track shows at t × scale + offsetMs on the reference's clock.
struct TimeFit {
    double scale = 1.0;
    std::int64_t offsetMs = 0;

    bool operator==(const TimeFit&) const = default;
};

// What the fit saw, so a log line or the quality table can say why a pair was (not) fitted.
struct FitReport {
    std::optional<TimeFit> fit;  // empty: no credible fit (unrelated tracks, too few cues...)
    int matched = 0;             // track starts within tolerance of a reference start
    int comparable = 0;          // cues either side could have matched (where both have cues)
    double peakMargin = 0;       // the offset peak's height over the runner-up, above chance
    std::string verdict;         // "fit", "in sync", or why there is no fit
};

FitReport fitTiming(std::span<const CueTimes> track, std::span<const CueTimes> reference);

inline std::optional<TimeFit> fitToReference(std::span<const CueTimes> track,
                                             std::span<const CueTimes> reference) {
    return fitTiming(track, reference).fit;
}

}  // namespace lirra::sync
