// SPDX-License-Identifier: GPL-3.0-or-later
// Time to fit one 2,000-cue track onto a 2,000-cue reference (the length of a feature film), for
// a pair that fits (scaled and shifted) and for an unrelated pair (every candidate is refined).
#include <benchmark/benchmark.h>

#include "SyntheticPair.h"
#include "TrackFit.h"

namespace {

using lirra::sync::fitTiming;
using lirra::sync::testing::makePair;
using lirra::sync::testing::PairShape;

void fitPair(benchmark::State& state, const PairShape& shape, bool expectFit) {
    const auto pair = makePair(shape, 42);
    for (auto _ : state) {
        const auto report = fitTiming(pair.other, pair.reference);
        if (report.fit.has_value() != expectFit) state.SkipWithError("unexpected verdict");
        benchmark::DoNotOptimize(report.matched);
    }
    state.counters["trackCues"] = double(pair.other.size());
    state.counters["referenceCues"] = double(pair.reference.size());
}

void BM_Fit2000Scaled(benchmark::State& state) {
    fitPair(state, {.cues = 2000, .scale = 23.976 / 25, .offsetMs = 37'000}, true);
}
BENCHMARK(BM_Fit2000Scaled)->Unit(benchmark::kMillisecond);

void BM_Fit2000Unrelated(benchmark::State& state) {
    fitPair(state, {.cues = 2000, .unrelated = true}, false);
}
BENCHMARK(BM_Fit2000Unrelated)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
