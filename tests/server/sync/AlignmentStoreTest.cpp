// Fits kept by the store for tracks the service fetched itself from the online database: the
// same write that holds them fits them to the video's reference.
#include <gtest/gtest.h>

#include "ServerFixture.h"
#include "SyntheticPair.h"
#include "store/SqliteStore.h"

namespace lirra::server::test {
namespace {

SubtitleContent content(const std::string& fileName, const std::string& language,
                        const std::string& text) {
    return {fileName, language, "srt", "UTF-8", text, text};
}

TEST(AlignmentStore, TracksFromTheOnlineDatabaseAreFittedAsTheyAreHeld) {
    const std::string dir = makeTempDir();
    std::string error;
    auto store = SqliteStore::open(dir, error);
    ASSERT_TRUE(store) << error;
    std::int64_t videoId = 0;
    std::vector<SubtitleEntry> entries;
    ASSERT_EQ(
        store->recordLookup({"8a3f2c", 734003200, "Film.mkv"}, "spa", {}, videoId, entries, error),
        StoreStatus::Ok);
    const auto pair = sync::testing::makePair({.cues = 200, .offsetMs = -4'200}, 3);
    std::vector<std::int64_t> ids;
    ASSERT_EQ(store->addSubtitles(
                  videoId, {content("Film.en.srt", "eng", sync::testing::toSrt(pair.reference))},
                  ids, error),
              StoreStatus::Ok);
    ASSERT_EQ(
        store->holdOnlineTracks(
            videoId, {content("Film.spa.srt", "spa", sync::testing::toSrt(pair.other))}, error),
        StoreStatus::Ok);

    std::vector<Track> tracks;
    ASSERT_EQ(store->tracks(videoId, tracks, error), StoreStatus::Ok);
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_TRUE(tracks[0].reference);
    EXPECT_FALSE(tracks[0].alignment);
    EXPECT_EQ(tracks[1].origin, "online");
    ASSERT_TRUE(tracks[1].alignment);
    EXPECT_EQ(tracks[1].alignment->referenceId, ids.at(0));
    EXPECT_EQ(tracks[1].alignment->scale, 1.0);
    EXPECT_NEAR(double(tracks[1].alignment->offsetMs), -4'200, 80);
    store.reset();
    removeTree(dir);
}

}  // namespace
}  // namespace lirra::server::test
