// Timing fits through the service over loopback: tracks added to a video come back fitted to its
// first English track, and once a track from inside the video arrives (read by the service from
// a file ffmpeg makes) every other track is fitted to that one instead.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "MediaFiles.h"
#include "ServerFixture.h"
#include "SyntheticPair.h"
#include "TrackRefit.h"
#include "store/SqliteStore.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;
using sync::testing::makePair;
using sync::testing::PairShape;
using sync::testing::toSrt;

constexpr unsigned kSeed = 11;
constexpr int kCues = 150;
constexpr double kPal = 25 / 23.976;
constexpr double kOffsetToleranceMs = 150;

// One story told by every track: `shape` says how this one is off the story's own timing.
std::string release(const PairShape& shape) {
    PairShape s = shape;
    s.cues = kCues;
    return toSrt(makePair(s, kSeed).other);
}

struct Expected {
    const char* fileName;
    enum { Reference, Fitted, Null } kind;
    double scale = 1;
    double offsetMs = 0;
    const char* toFileName = nullptr;
};

class AlignmentHttpTest : public ServerFixture {
  protected:
    // A file the learner adds from the page; the answer's track (with its fit).
    json add(long long videoId, const std::string& fileName, const std::string& text) {
        const json body = {{"fileName", fileName}, {"text", text}};
        auto res = client().Post("/api/videos/" + std::to_string(videoId) + "/subtitles",
                                 body.dump(), "application/json");
        EXPECT_TRUE(res && res->status == 201) << (res ? res->body : "no answer");
        if (!res || res->status != 201) return json();
        return json::parse(res->body)["tracks"].at(0);
    }

    static const json* byName(const json& tracks, const std::string& fileName) {
        for (const auto& t : tracks) {
            if (t["fileName"] == fileName) return &t;
        }
        return nullptr;
    }

    static void check(const json& answer, const std::vector<Expected>& rows) {
        const json& tracks = answer["tracks"];
        ASSERT_EQ(tracks.size(), rows.size()) << answer.dump().substr(0, 400);
        for (const auto& row : rows) {
            SCOPED_TRACE(row.fileName);
            const json* t = byName(tracks, row.fileName);
            ASSERT_NE(t, nullptr);
            if (row.kind == Expected::Reference) {
                EXPECT_FALSE(t->contains("alignment")) << t->at("alignment");
                continue;
            }
            ASSERT_TRUE(t->contains("alignment"));
            const json& a = (*t)["alignment"];
            if (row.kind == Expected::Null) {
                EXPECT_TRUE(a.is_null()) << a;
                continue;
            }
            ASSERT_TRUE(a.is_object()) << a;
            EXPECT_EQ(a["to"], (*byName(tracks, row.toFileName))["subtitleId"]);
            EXPECT_NEAR(a["scale"].get<double>(), row.scale, 5e-6);
            if (row.offsetMs == 0 && row.scale == 1) {
                EXPECT_EQ(a["offsetMs"], 0);  // in sync stays exactly as it is
            } else {
                EXPECT_NEAR(a["offsetMs"].get<double>(), row.offsetMs, kOffsetToleranceMs);
            }
        }
    }
};

TEST_F(AlignmentHttpTest, TracksAreFittedToTheEnglishTrackThenToTheVideosOwn) {
    // The video, outside the library for now, holds the story at its own timing in English.
    MediaFolder media;
    media.write("inside.srt", toSrt(makePair({.cues = kCues}, kSeed).reference));
    ASSERT_TRUE(
        media.ffmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=5:duration=4", "-i",
                      "inside.srt", "-map", "0", "-map", "1", "-c:v", "libx264", "-preset",
                      "ultrafast", "-c:s", "srt", "-metadata:s:s:0", "language=eng", "Film.mkv"}));
    ASSERT_EQ(::truncate(media.file("Film.mkv").c_str(), 1 << 20), 0);
    const std::string hash = hex(referenceHashOfFile(media.file("Film.mkv")));
    const std::string size = std::to_string(1 << 20);

    // The English release beside the video runs 1.5 s behind it.
    writeFile(libraryDir_ + "/Film.en.srt", release({.offsetMs = 1'500}));
    const json looked = lookupJson("Film.mkv", hash, size);
    const long long id = looked["videoId"];
    // No reference yet: nothing to fit the Spanish track to.
    const json spanish = add(id, "Film.es.srt", release({.scale = 1 / kPal, .offsetMs = 12'300}));
    EXPECT_TRUE(spanish["alignment"].is_null()) << spanish["alignment"];
    roundTrip("Film.mkv", hash, size);  // the file beside the video, the app's way
    // The Portuguese release is in sync with the English one (other cues missing, other
    // jitter); the French one tells another story.
    const json portuguese =
        add(id, "Film.pt.srt", release({.offsetMs = 1'500, .dropOther = 0.25, .jitterMs = 60}));
    EXPECT_EQ(portuguese["alignment"]["offsetMs"], 0);
    add(id, "Film.fr.srt", release({.unrelated = true}));
    check(tracks(id), {{"Film.en.srt", Expected::Reference},
                       {"Film.es.srt", Expected::Fitted, 1 / kPal, 10'800, "Film.en.srt"},
                       {"Film.pt.srt", Expected::Fitted, 1, 0, "Film.en.srt"},
                       {"Film.fr.srt", Expected::Null}});

    // The video comes into the library; a new service (it gave up on the first search) finds
    // it and reads the English track inside: every other track is fitted to that one now.
    std::filesystem::rename(media.file("Film.mkv"), libraryDir_ + "/Film.mkv");
    restartServer();
    ASSERT_EQ(lookupJson("Film.mkv", hash, size)["videoId"], id);
    const json answer =
        eventually([&] { return tracks(id); },
                   [](const json& a) { return a["pending"] == false && a["tracks"].size() == 5; });
    ASSERT_EQ(answer["pending"], false);
    check(answer, {{"Film.eng.srt", Expected::Reference},
                   {"Film.en.srt", Expected::Fitted, 1, 1'500, "Film.eng.srt"},
                   {"Film.es.srt", Expected::Fitted, 1 / kPal, 12'300, "Film.eng.srt"},
                   {"Film.pt.srt", Expected::Fitted, 1, 1'500, "Film.eng.srt"},
                   {"Film.fr.srt", Expected::Null}});

    // Kept, not made per request: the same answer after another restart.
    restartServer();
    EXPECT_EQ(tracks(id)["tracks"], answer["tracks"]);
}

// Tracks the service fetched itself from the online database are fitted by the same write that
// holds them.
TEST(AlignmentStore, TracksFromTheOnlineDatabaseAreFittedAsTheyAreHeld) {
    const std::string dir = makeTempDir();
    std::string error;
    const sync::TrackRefit refit;
    auto store = SqliteStore::open(dir, error, &refit);
    ASSERT_TRUE(store) << error;
    std::int64_t videoId = 0;
    std::vector<SubtitleEntry> entries;
    std::vector<std::int64_t> ids;
    std::vector<Track> tracks;
    const auto pair = makePair({.cues = 200, .offsetMs = -4'200}, 3);
    auto srt = [](const char* name, const char* language, const std::vector<sync::CueTimes>& cues) {
        return SubtitleContent{name, language, "srt", "UTF-8", toSrt(cues), toSrt(cues)};
    };
    ASSERT_EQ(store->recordLookup({"8a3f2c", 1, "Film.mkv"}, "spa", {}, videoId, entries, error),
              StoreStatus::Ok);
    ASSERT_EQ(store->addSubtitles(videoId, {srt("Film.en.srt", "eng", pair.reference)}, ids, error),
              StoreStatus::Ok);
    ASSERT_EQ(store->holdOnlineTracks(videoId, {srt("Film.spa.srt", "spa", pair.other)}, error),
              StoreStatus::Ok);
    ASSERT_EQ(store->tracks(videoId, tracks, error), StoreStatus::Ok);
    ASSERT_EQ(tracks.size(), 2u);
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
