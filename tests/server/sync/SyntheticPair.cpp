// SPDX-License-Identifier: GPL-3.0-or-later
#include "SyntheticPair.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace lirra::sync::testing {
namespace {

// Speech-like timing: lines of one to seven seconds, mostly short pauses, some scene-long ones.
std::vector<CueTimes> story(std::mt19937& rng, int count, std::int64_t fromMs,
                            std::int64_t untilMs) {
    std::lognormal_distribution<double> duration(std::log(2200.0), 0.45);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<CueTimes> cues;
    double t = double(fromMs) + 500 + unit(rng) * 3000;
    while (int(cues.size()) < count) {
        const double d = std::clamp(duration(rng), 700.0, 7000.0);
        if (untilMs > 0 && t + d > double(untilMs)) break;
        cues.push_back({std::llround(t), std::llround(t + d)});
        const double kind = unit(rng);
        const double gap = kind < 0.55  ? 80 + unit(rng) * 720
                           : kind < 0.9 ? 800 + unit(rng) * 3200
                                        : 4000 + unit(rng) * 21000;
        t += d + gap;
    }
    return cues;
}

// Cues of extra material (an intro, a recap) filling [0, untilMs).
std::vector<CueTimes> intro(std::mt19937& rng, std::int64_t untilMs) {
    if (untilMs <= 0) return {};
    return story(rng, 1'000'000, 0, untilMs);
}

}  // namespace

SyntheticPair makePair(const PairShape& shape, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    SyntheticPair pair;

    const auto told = story(rng, shape.cues, shape.referenceIntroMs, 0);
    pair.reference = intro(rng, shape.referenceIntroMs);
    for (const auto& c : told) {
        if (unit(rng) >= shape.dropReference) pair.reference.push_back(c);
    }

    std::vector<CueTimes> source = told;
    if (shape.unrelated) source = story(rng, shape.cues, shape.referenceIntroMs, 0);
    struct Placed {
        CueTimes times;
        std::int64_t truth;
    };
    std::vector<Placed> other;
    for (const auto& c : intro(rng, shape.otherIntroMs)) other.push_back({c, -1});
    const auto jitter = [&] { return (unit(rng) * 2 - 1) * shape.jitterMs; };
    for (const auto& c : source) {
        if (unit(rng) < shape.dropOther) continue;
        const double a = (double(c.startMs) - shape.offsetMs) / shape.scale;
        const double b = (double(c.endMs) - shape.offsetMs) / shape.scale;
        if (a < double(shape.otherIntroMs)) continue;  // before the other release begins
        const std::int64_t truth = shape.unrelated ? -1 : c.startMs;
        if (unit(rng) < shape.split && b - a >= 1200) {
            const double m = (a + b) / 2;
            other.push_back({{std::llround(a + jitter()), std::llround(m - 40 + jitter())}, truth});
            other.push_back({{std::llround(m + jitter()), std::llround(b + jitter())}, -1});
        } else {
            other.push_back({{std::llround(a + jitter()), std::llround(b + jitter())}, truth});
        }
    }
    std::stable_sort(other.begin(), other.end(), [](const Placed& x, const Placed& y) {
        return x.times.startMs < y.times.startMs;
    });
    for (const auto& p : other) {
        pair.other.push_back(p.times);
        pair.truth.push_back(p.truth);
    }
    return pair;
}

std::string toSrt(const std::vector<CueTimes>& cues) {
    const auto stamp = [](std::int64_t ms) {
        char text[32];
        std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld",
                      static_cast<long long>(ms / 3'600'000),
                      static_cast<long long>(ms / 60'000 % 60),
                      static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
        return std::string(text);
    };
    std::string out;
    for (std::size_t i = 0; i < cues.size(); ++i) {
        out += std::to_string(i + 1) + "\n" + stamp(cues[i].startMs) + " --> " +
               stamp(cues[i].endMs) + "\nLine " + std::to_string(i + 1) + "\n\n";
    }
    return out;
}

std::vector<double> alignedStartErrors(const SyntheticPair& pair, const TimeFit& fit) {
    std::vector<double> errors;
    for (std::size_t i = 0; i < pair.other.size(); ++i) {
        if (pair.truth[i] < 0) continue;
        const double aligned = double(pair.other[i].startMs) * fit.scale + double(fit.offsetMs);
        errors.push_back(std::abs(aligned - double(pair.truth[i])));
    }
    return errors;
}

}  // namespace lirra::sync::testing
