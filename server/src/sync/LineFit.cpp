// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineFit.h"

#include <algorithm>
#include <cmath>

namespace lirra::sync {
namespace {

constexpr int kHuberRounds = 4;

double huberWeight(double residual, double huberMs) {
    const double a = std::abs(residual);
    return a <= huberMs ? 1.0 : huberMs / a;
}

// Weighted least squares with the track times centred, so hour-long times keep their precision.
std::optional<Line> weightedLine(std::span<const MatchedPair> pairs, std::span<const double> w) {
    double sw = 0, st = 0, sr = 0;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        sw += w[i];
        st += w[i] * pairs[i].track;
        sr += w[i] * pairs[i].reference;
    }
    if (sw <= 0) return std::nullopt;
    const double tm = st / sw, rm = sr / sw;
    double stt = 0, str = 0;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const double dt = pairs[i].track - tm;
        stt += w[i] * dt * dt;
        str += w[i] * dt * (pairs[i].reference - rm);
    }
    // Less than a second of spread cannot tell a scale from an offset.
    if (stt < sw * 1.0e6) return std::nullopt;
    const double scale = str / stt;
    return Line{scale, rm - scale * tm};
}

}  // namespace

std::vector<MatchedPair> matchStarts(std::span<const double> trackStarts,
                                     std::span<const double> referenceStarts, const Line& line,
                                     double toleranceMs) {
    std::vector<MatchedPair> pairs;
    if (referenceStarts.empty()) return pairs;
    pairs.reserve(trackStarts.size());
    auto from = referenceStarts.begin();
    for (double t : trackStarts) {
        const double x = line.map(t);
        // With a positive scale mapped starts rise with t, so the search only moves forward.
        if (line.scale <= 0) from = referenceStarts.begin();
        from = std::lower_bound(from, referenceStarts.end(), x);
        double nearest = from != referenceStarts.end() ? *from : referenceStarts.back();
        if (from != referenceStarts.begin() && std::abs(*(from - 1) - x) < std::abs(nearest - x)) {
            nearest = *(from - 1);
        }
        if (std::abs(nearest - x) <= toleranceMs) pairs.push_back({t, nearest});
    }
    return pairs;
}

std::optional<Line> fitLine(std::span<const MatchedPair> pairs, double huberMs) {
    std::vector<double> w(pairs.size(), 1.0);
    std::optional<Line> line;
    for (int round = 0; round < kHuberRounds; ++round) {
        line = weightedLine(pairs, w);
        if (!line) return std::nullopt;
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            w[i] = huberWeight(pairs[i].reference - line->map(pairs[i].track), huberMs);
        }
    }
    return line;
}

double fitOffset(std::span<const MatchedPair> pairs, double scale, double huberMs) {
    if (pairs.empty()) return 0;
    double offset = leastSquaresOffset(pairs, scale);
    for (int round = 0; round < kHuberRounds; ++round) {
        double sw = 0, s = 0;
        for (const auto& p : pairs) {
            const double d = p.reference - p.track * scale;
            const double w = huberWeight(d - offset, huberMs);
            sw += w;
            s += w * d;
        }
        offset = s / sw;
    }
    return offset;
}

std::optional<Line> leastSquaresLine(std::span<const MatchedPair> pairs) {
    const std::vector<double> w(pairs.size(), 1.0);
    return weightedLine(pairs, w);
}

double leastSquaresOffset(std::span<const MatchedPair> pairs, double scale) {
    if (pairs.empty()) return 0;
    double s = 0;
    for (const auto& p : pairs) s += p.reference - p.track * scale;
    return s / static_cast<double>(pairs.size());
}

double sumOfSquares(std::span<const MatchedPair> pairs, const Line& line) {
    double s = 0;
    for (const auto& p : pairs) {
        const double r = p.reference - line.map(p.track);
        s += r * r;
    }
    return s;
}

}  // namespace lirra::sync
