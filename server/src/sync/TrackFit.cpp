// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrackFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "LineFit.h"
#include "OffsetVote.h"

namespace lirra::sync {
namespace {

// Frame-rate conversions between releases: PAL speed-up and its inverse, and the near-ones.
constexpr std::array kScales{1.0,         25 / 23.976, 23.976 / 25, 24 / 23.976,
                             23.976 / 24, 25 / 24.0,   24 / 25.0};

constexpr std::size_t kMinCues = 10;
constexpr std::size_t kMaxCues = 20'000;  // a feature film has about 2,000
constexpr double kMaxStartMs = 100.0 * 3600 * 1000;
constexpr double kScaleSlack = 0.003;  // how far a refined scale may leave its candidate
constexpr std::array kRefineToleranceMs{500.0, 350.0, 250.0, 250.0};
constexpr double kMatchToleranceMs = 250;
constexpr double kHuberMs = 80;

// Credibility: what unrelated lines do not reach.
constexpr int kMinMatched = 8;
constexpr double kMinMatchedShare = 0.5;
constexpr double kMinOverlapShare = 0.4;
constexpr double kMinPeakMargin = 1.8;

// Chi-square at p = 0.001 with 1 and 2 degrees of freedom: a simpler line is kept unless the
// freer one is that much better on the same pairs.
constexpr double kChi2OneDof = 10.83;
constexpr double kChi2TwoDof = 13.82;

std::vector<double> startsOf(std::span<const CueTimes> cues) {
    std::vector<double> starts;
    starts.reserve(cues.size());
    for (const auto& c : cues) {
        if (c.startMs >= 0 && c.startMs <= kMaxStartMs) starts.push_back(double(c.startMs));
    }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    return starts;
}

struct Candidate {
    OffsetPeak peak;
    Line line;
    std::vector<MatchedPair> pairs;
};

Candidate refine(const std::vector<double>& track, const std::vector<double>& reference,
                 const OffsetPeak& peak) {
    Candidate c{peak, Line{peak.scale, peak.offsetMs}, {}};
    for (double tolerance : kRefineToleranceMs) {
        const auto pairs = matchStarts(track, reference, c.line, tolerance);
        if (pairs.size() < kMinMatched) break;
        const auto free = fitLine(pairs, kHuberMs);
        if (free && std::abs(free->scale / peak.scale - 1) <= kScaleSlack) {
            c.line = *free;
        } else {
            c.line = Line{peak.scale, fitOffset(pairs, peak.scale, kHuberMs)};
        }
    }
    c.pairs = matchStarts(track, reference, c.line, kMatchToleranceMs);
    return c;
}

// Cues either side has where the other has cues too: extra minutes on one side do not count.
int comparableCues(const std::vector<double>& track, const std::vector<double>& reference,
                   const Line& line) {
    const double lo = std::max(reference.front(), line.map(track.front())) - kMatchToleranceMs;
    const double hi = std::min(reference.back(), line.map(track.back())) + kMatchToleranceMs;
    if (hi <= lo) return 0;
    const auto count = [](const std::vector<double>& v, double a, double b) {
        return int(std::upper_bound(v.begin(), v.end(), b) -
                   std::lower_bound(v.begin(), v.end(), a));
    };
    const int inReference = count(reference, lo, hi);
    const int inTrack =
        count(track, (lo - line.offsetMs) / line.scale, (hi - line.offsetMs) / line.scale);
    return std::min(inReference, inTrack);
}

// The simplest line the pairs do not clearly contradict: in sync, a known frame-rate ratio with an
// offset, or the free fit.
TimeFit simplestLine(const std::vector<MatchedPair>& pairs, const Line& refined, bool* inSync) {
    const auto free = leastSquaresLine(pairs).value_or(refined);
    const double ssFree = sumOfSquares(pairs, free);
    const double variance = std::max(ssFree / double(pairs.size() - 2), 1.0);
    *inSync = (sumOfSquares(pairs, Line{}) - ssFree) / variance < kChi2TwoDof;
    if (*inSync) return TimeFit{};

    const double nearest = *std::min_element(
        kScales.begin(), kScales.end(),
        [&](double a, double b) { return std::abs(a - free.scale) < std::abs(b - free.scale); });
    const Line known{nearest, leastSquaresOffset(pairs, nearest)};
    const Line& chosen =
        (sumOfSquares(pairs, known) - ssFree) / variance < kChi2OneDof ? known : free;
    return TimeFit{chosen.scale, std::llround(chosen.offsetMs)};
}

}  // namespace

FitReport fitTiming(std::span<const CueTimes> trackCues, std::span<const CueTimes> referenceCues) {
    FitReport report;
    const auto track = startsOf(trackCues);
    const auto reference = startsOf(referenceCues);
    if (track.size() < kMinCues || reference.size() < kMinCues) {
        report.verdict = "too few cues";
        return report;
    }
    if (track.size() > kMaxCues || reference.size() > kMaxCues) {
        report.verdict = "too many cues";
        return report;
    }

    std::vector<Candidate> candidates;
    for (double scale : kScales) {
        const auto peak = voteOffset(track, reference, scale);
        if (!peak) {
            report.verdict = "cues too dense";
            return report;
        }
        candidates.push_back(refine(track, reference, *peak));
    }
    const auto best = std::max_element(
        candidates.begin(), candidates.end(),
        [](const Candidate& a, const Candidate& b) { return a.pairs.size() < b.pairs.size(); });

    report.matched = int(best->pairs.size());
    report.comparable = comparableCues(track, reference, best->line);
    report.peakMargin = best->peak.margin();
    const auto shorter = double(std::min(track.size(), reference.size()));
    if (report.matched < kMinMatched || report.comparable < kMinOverlapShare * shorter ||
        report.matched < kMinMatchedShare * report.comparable) {
        report.verdict = "too few cues agree";
        return report;
    }
    if (report.peakMargin < kMinPeakMargin) {
        report.verdict = "no clear offset";
        return report;
    }
    bool inSync = false;
    report.fit = simplestLine(best->pairs, best->line, &inSync);
    report.verdict = inSync ? "in sync" : "fit";
    return report;
}

}  // namespace lirra::sync
