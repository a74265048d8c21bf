// SPDX-License-Identifier: GPL-3.0-or-later
#include "OffsetVote.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace lirra::sync {
namespace {

constexpr double kBinMs = 20;
constexpr int kPeakBins = 12;                 // 240 ms: the spread of two jittered starts
constexpr int kApartBins = 100;               // 2 s: a runner-up must be a different offset
constexpr std::size_t kMaxPairs = 8'000'000;  // 2,000 dense cues a side need well under 1 M
constexpr int kBins = static_cast<int>(2 * kSearchWindowMs / kBinMs) + 1;

}  // namespace

double OffsetPeak::margin() const {
    const double above = votes - background;
    const double second = std::max(runnerUp - background, 1.0);
    return above <= 0 ? 0 : above / second;
}

std::optional<OffsetPeak> voteOffset(std::span<const double> trackStarts,
                                     std::span<const double> referenceStarts, double scale) {
    std::vector<std::uint32_t> bins(kBins, 0);
    std::size_t pairs = 0;
    std::size_t lo = 0, hi = 0;
    const std::size_t n = referenceStarts.size();
    for (double t : trackStarts) {
        const double x = t * scale;
        while (lo < n && referenceStarts[lo] < x - kSearchWindowMs) ++lo;
        if (hi < lo) hi = lo;
        while (hi < n && referenceStarts[hi] <= x + kSearchWindowMs) ++hi;
        pairs += hi - lo;
        if (pairs > kMaxPairs) return std::nullopt;
        const double base = kSearchWindowMs - x;
        for (std::size_t j = lo; j < hi; ++j) {
            const int bin = static_cast<int>((referenceStarts[j] + base) * (1 / kBinMs));
            ++bins[std::clamp(bin, 0, kBins - 1)];
        }
    }

    // Sums of kPeakBins consecutive bins, window i covering bins i .. i + kPeakBins - 1.
    const int windows = kBins - kPeakBins + 1;
    std::vector<std::uint32_t> sums(windows);
    std::uint32_t sum = 0;
    for (int i = 0; i < kBins; ++i) {
        sum += bins[i];
        if (i >= kPeakBins) sum -= bins[i - kPeakBins];
        if (i >= kPeakBins - 1) sums[i - kPeakBins + 1] = sum;
    }
    const int best = static_cast<int>(std::max_element(sums.begin(), sums.end()) - sums.begin());
    std::uint32_t runnerUp = 0;
    for (int i = 0; i < windows; ++i) {
        if (std::abs(i - best) > kApartBins) runnerUp = std::max(runnerUp, sums[i]);
    }

    OffsetPeak peak;
    peak.scale = scale;
    peak.votes = sums[best];
    peak.runnerUp = runnerUp;
    peak.background = static_cast<double>(pairs) * kPeakBins / kBins;
    double weighted = 0;
    for (int i = best; i < best + kPeakBins; ++i) weighted += bins[i] * ((i + 0.5) * kBinMs);
    peak.offsetMs = (peak.votes > 0 ? weighted / peak.votes : (best + kPeakBins / 2.0) * kBinMs) -
                    kSearchWindowMs;
    return peak;
}

}  // namespace lirra::sync
