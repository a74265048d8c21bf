// SPDX-License-Identifier: GPL-3.0-or-later
// The fit between tracks on generated pairs of every misalignment releases show, against where
// the cues belong; no fit on input no release produces; the track the others are fitted to.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>

#include "Reference.h"
#include "SyntheticPair.h"
#include "TrackFit.h"

namespace lirra::sync::testing {
namespace {

constexpr double kPal = 25 / 23.976;
constexpr double kMedianLimitMs = 80, kP95LimitMs = 250, kInSyncOffsetLimitMs = 20;

enum class Expect { Aligned, InSync, None };

struct QualityCase {
    const char* name;
    PairShape shape;
    Expect expect;
    int seeds = 8;
};

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    const auto i = std::size_t(std::ceil(p * double(v.size()))) - 1;
    return v[std::min(i, v.size() - 1)];
}

TEST(TrackFitQuality, GeneratedPairs) {
    using E = Expect;
    const std::vector<QualityCase> cases = {
        {"in sync, exact", {.dropOther = 0, .split = 0, .jitterMs = 0}, E::InSync},
        {"in sync", {}, E::InSync},
        {"in sync, cues missing both sides", {.dropReference = 0.15}, E::InSync},
        {"+60 s", {.offsetMs = 60'000}, E::Aligned},
        {"25/23.976, +12.3 s", {.scale = kPal, .offsetMs = 12'300}, E::Aligned},
        {"23.976/25, -41.7 s", {.scale = 1 / kPal, .offsetMs = -41'700}, E::Aligned},
        {"reference intro",
         {.scale = kPal, .offsetMs = 175'000, .referenceIntroMs = 180'000},
         E::Aligned},
        {"other intro",
         {.scale = 1 / kPal, .offsetMs = -187'000, .otherIntroMs = 180'000},
         E::Aligned},
        {"missing both sides, -25 s", {.offsetMs = -25'000, .dropReference = 0.15}, E::Aligned},
        {"2,000 cues", {.cues = 2000, .scale = 1 / kPal, .offsetMs = 33'000}, E::Aligned, 3},
        {"60 cues", {.cues = 60, .scale = kPal, .offsetMs = -7'000}, E::Aligned},
        {"unrelated", {.unrelated = true}, E::None, 30},
        {"unrelated, 2,000 cues", {.cues = 2000, .unrelated = true}, E::None, 3},
        {"unrelated, 60 cues", {.cues = 60, .unrelated = true}, E::None, 30},
        {"unrelated, intro", {.referenceIntroMs = 180'000, .unrelated = true}, E::None, 30},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> errors;
        for (int s = 1; s <= c.seeds; ++s) {
            const auto pair = makePair(c.shape, 1000u * unsigned(s) + unsigned(c.shape.cues));
            // As files may hold them: out of order, layered copies, stray times.
            auto other = pair.other, reference = pair.reference;
            other.insert(other.end(), pair.other.begin(), pair.other.begin() + 20);
            other.insert(other.end(), {{-4000, -3000}, {INT64_MAX - 5, INT64_MAX}});
            std::shuffle(other.begin(), other.end(), std::mt19937(unsigned(s)));
            std::reverse(reference.begin(), reference.end());
            const auto report = fitTiming(other, reference);
            if (!report.fit) {
                EXPECT_EQ(c.expect, Expect::None) << "seed " << s << ": " << report.verdict;
                continue;
            }
            EXPECT_NE(c.expect, Expect::None)
                << "seed " << s << " fitted " << report.fit->scale << " " << report.fit->offsetMs
                << " with " << report.matched << "/" << report.comparable << " cues";
            if (c.expect == Expect::InSync) {
                EXPECT_EQ(report.fit->scale, 1.0) << "seed " << s;
                EXPECT_LE(std::abs(report.fit->offsetMs), kInSyncOffsetLimitMs) << "seed " << s;
            }
            const auto e = alignedStartErrors(pair, *report.fit);
            errors.insert(errors.end(), e.begin(), e.end());
        }
        if (c.expect == Expect::None) continue;
        EXPECT_LE(percentile(errors, 0.5), kMedianLimitMs);
        EXPECT_LE(percentile(errors, 0.95), kP95LimitMs);
    }
}

std::vector<CueTimes> evenly(int count, std::int64_t stepMs) {
    std::vector<CueTimes> cues;
    for (int i = 0; i < count; ++i) cues.push_back({i * stepMs, i * stepMs + 1000});
    return cues;
}

TEST(TrackFitInput, DegenerateInputHasNoFit) {
    const auto realistic = makePair({}, 7).reference;
    using Cues = std::vector<CueTimes>;
    const std::tuple<const char*, Cues, Cues, const char*> rows[] = {
        {"empty track", {}, realistic, "too few cues"},
        {"empty reference", realistic, {}, "too few cues"},
        {"nine cues", Cues(realistic.begin(), realistic.begin() + 9), realistic, "too few cues"},
        {"one start repeated", Cues(1000, CueTimes{5000, 6000}), realistic, "too few cues"},
        {"only absurd starts",
         {{-5, 100}, {-99999, 0}, {INT64_MIN, INT64_MAX}, {INT64_MAX - 1, INT64_MAX}},
         realistic,
         "too few cues"},
        {"more cues than any film", evenly(20'001, 300), realistic, "too many cues"},
        {"cues 10 ms apart both sides", evenly(20'000, 10), evenly(20'000, 10), "cues too dense"},
    };
    for (const auto& [name, track, reference, verdict] : rows) {
        const auto began = std::chrono::steady_clock::now();
        const auto report = fitTiming(track, reference);
        EXPECT_FALSE(report.fit.has_value()) << name;
        EXPECT_EQ(report.verdict, verdict) << name;
        // Not a speed figure: a guard against input that makes the work quadratic.
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5)) << name;
    }
}

// Which track of a video the others are fitted to.
TEST(Reference, ChosenFromTheVideoFirstThenTheFirstEnglishTrack) {
    // {id, language, inside the video, cues}
    const TrackSummary esFile{1, "spa", false, 900}, enFile{2, "eng", false, 800},
        enFile2{3, "eng", false, 1200}, esInside{4, "spa", true, 900},
        enForcedInside{5, "eng", true, 40}, enInside{9, "eng", true, 700},
        unknownInside{6, "", true, 1000}, enEmptyInside{7, "eng", true, 0},
        enEmptyFile{8, "eng", false, 0};
    const std::tuple<const char*, std::vector<TrackSummary>, std::optional<std::int64_t>> rows[] = {
        {"nothing held", {}, std::nullopt},
        {"no English, none inside", {esFile}, std::nullopt},
        {"the first English track", {esFile, enFile, enFile2}, 2},
        {"an English track without cues is passed over", {enEmptyFile, enFile2}, 3},
        {"a track inside the video beats English files", {enFile, esInside}, 4},
        {"English inside beats more cues inside", {esInside, enInside}, 9},
        {"forced lines inside are passed over", {enForcedInside, esInside}, 4},
        {"a third of the fullest inside is not forced", {esInside, {10, "eng", true, 300}}, 10},
        {"under a third is", {esInside, {10, "eng", true, 299}}, 4},
        {"forced lines alone inside still beat files", {enForcedInside, enFile}, 5},
        {"else the most cues inside", {esInside, unknownInside, enFile}, 6},
        {"a track inside without cues is passed over", {enEmptyInside, enFile}, 2},
    };
    for (const auto& [name, tracks, reference] : rows) {
        EXPECT_EQ(chooseReference(tracks), reference) << name;
    }
}

}  // namespace
}  // namespace lirra::sync::testing
