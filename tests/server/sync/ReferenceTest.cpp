// Which track of a video the others are fitted to.
#include <gtest/gtest.h>

#include <vector>

#include "Reference.h"

namespace lirra::sync {
namespace {

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
}  // namespace lirra::sync
