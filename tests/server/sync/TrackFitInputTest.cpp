// The fit on input no release produces (too little, too much, disordered or absurd times), and
// the choice of the track the others are fitted to.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "Reference.h"
#include "SyntheticPair.h"
#include "TrackFit.h"

namespace lirra::sync::testing {
namespace {

std::vector<CueTimes> evenly(int count, std::int64_t stepMs) {
    std::vector<CueTimes> cues;
    for (int i = 0; i < count; ++i) cues.push_back({i * stepMs, i * stepMs + 1000});
    return cues;
}

TEST(TrackFitInput, DegenerateInputHasNoFit) {
    const auto realistic = makePair({}, 7).reference;
    struct Row {
        const char* name;
        std::vector<CueTimes> track;
        std::vector<CueTimes> reference;
        const char* verdict;
    };
    const std::vector<Row> rows = {
        {"empty track", {}, realistic, "too few cues"},
        {"empty reference", realistic, {}, "too few cues"},
        {"nine cues", std::vector<CueTimes>(realistic.begin(), realistic.begin() + 9), realistic,
         "too few cues"},
        {"one start repeated", std::vector<CueTimes>(1000, CueTimes{5000, 6000}), realistic,
         "too few cues"},
        {"only absurd starts",
         {{-5, 100}, {-99999, 0}, {INT64_MIN, INT64_MAX}, {INT64_MAX - 1, INT64_MAX}},
         realistic,
         "too few cues"},
        {"more cues than any film", evenly(20'001, 300), realistic, "too many cues"},
        {"cues 10 ms apart both sides", evenly(20'000, 10), evenly(20'000, 10), "cues too dense"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto began = std::chrono::steady_clock::now();
        const auto report = fitTiming(row.track, row.reference);
        EXPECT_FALSE(report.fit.has_value());
        EXPECT_EQ(report.verdict, row.verdict);
        // Not a speed figure: a guard against input that makes the work quadratic.
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5));
    }
}

// Which track of a video the others are fitted to.
TEST(Reference, ChosenFromTheVideoFirstThenTheFirstEnglishTrack) {
    const TrackSummary uploadedSpanish{1, "spa", false, 900};
    const TrackSummary uploadedEnglish{2, "eng", false, 800};
    const TrackSummary secondEnglish{3, "eng", false, 1200};
    const TrackSummary insideSpanish{4, "spa", true, 900};
    const TrackSummary insideForcedEnglish{5, "eng", true, 40};
    const TrackSummary insideEnglish{9, "eng", true, 700};
    const TrackSummary insideUnknown{6, "", true, 1000};
    const TrackSummary emptyInsideEnglish{7, "eng", true, 0};
    const TrackSummary emptyEnglish{8, "eng", false, 0};
    struct Row {
        const char* name;
        std::vector<TrackSummary> tracks;
        std::optional<std::int64_t> reference;
    };
    const std::vector<Row> rows = {
        {"nothing held", {}, std::nullopt},
        {"no English, none inside", {uploadedSpanish}, std::nullopt},
        {"the first English track", {uploadedSpanish, uploadedEnglish, secondEnglish}, 2},
        {"an English track without cues is passed over", {emptyEnglish, secondEnglish}, 3},
        {"a track inside the video beats English files", {uploadedEnglish, insideSpanish}, 4},
        {"English inside beats more cues inside", {insideSpanish, insideEnglish}, 9},
        {"forced lines inside are passed over", {insideForcedEnglish, insideSpanish}, 4},
        {"forced lines alone inside still beat files", {insideForcedEnglish, uploadedEnglish}, 5},
        {"else the most cues inside", {insideSpanish, insideUnknown, uploadedEnglish}, 6},
        {"a track inside without cues is passed over", {emptyInsideEnglish, uploadedEnglish}, 2},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(chooseReference(row.tracks), row.reference) << row.name;
    }
}

}  // namespace
}  // namespace lirra::sync::testing
