// SPDX-License-Identifier: GPL-3.0-or-later
// Matching track starts to reference starts under a line (time × scale + offset) and fitting the
// line to the matched pairs, robustly: a wrong match only pulls with a bounded weight.
#pragma once

#include <optional>
#include <span>
#include <vector>

namespace lirra::sync {

struct Line {
    double scale = 1.0;
    double offsetMs = 0;

    double map(double t) const { return t * scale + offsetMs; }
};

struct MatchedPair {
    double track = 0;
    double reference = 0;
};

// Each track start with the nearest reference start to its mapped time, when within tolerance.
// Both spans sorted.
std::vector<MatchedPair> matchStarts(std::span<const double> trackStarts,
                                     std::span<const double> referenceStarts, const Line& line,
                                     double toleranceMs);

// Huber-weighted least squares, both scale and offset free; empty when the track times of the
// pairs have no spread to measure a scale on.
std::optional<Line> fitLine(std::span<const MatchedPair> pairs, double huberMs);

// Huber-weighted offset for a fixed scale.
double fitOffset(std::span<const MatchedPair> pairs, double scale, double huberMs);

// Plain least squares, for comparing nested lines on the same pairs.
std::optional<Line> leastSquaresLine(std::span<const MatchedPair> pairs);
double leastSquaresOffset(std::span<const MatchedPair> pairs, double scale);
double sumOfSquares(std::span<const MatchedPair> pairs, const Line& line);

}  // namespace lirra::sync
