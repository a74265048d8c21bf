// SPDX-License-Identifier: GPL-3.0-or-later
// Offset voting: for a candidate scale, every pair of starts (reference, scaled track) closer than
// the search window votes for its difference. Where two lines belong together most cues agree on
// one difference; unrelated lines spread their votes evenly.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace lirra::sync {

constexpr double kSearchWindowMs = 300'000;  // offsets beyond ±5 minutes are not looked for

struct OffsetPeak {
    double scale = 1.0;
    double offsetMs = 0;    // vote-weighted centre of the densest window
    double votes = 0;       // votes in that window
    double runnerUp = 0;    // densest window clearly apart from it
    double background = 0;  // votes an even spread puts in a window of that width

    // How far the peak stands above chance, relative to the runner-up (large is clear).
    double margin() const;
};

// Starts must be sorted. Empty when the pairs would exceed a fixed budget (absurdly dense input).
std::optional<OffsetPeak> voteOffset(std::span<const double> trackStarts,
                                     std::span<const double> referenceStarts, double scale);

}  // namespace lirra::sync
