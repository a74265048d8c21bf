// SPDX-License-Identifier: GPL-3.0-or-later
// Timing fits through the service: tracks fitted to the first English track, then to a track
// from inside the video (ffmpeg makes it) once the service reads it; fits are kept.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "MediaFiles.h"
#include "ServerFixture.h"
#include "SyntheticPair.h"
#include "TrackRefit.h"
#include "http/Http.h"
#include "store/SqliteStore.h"
#include "subtitles/CuePack.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;
using sync::testing::makePair;
using sync::testing::PairShape;
using sync::testing::toSrt;

constexpr unsigned kSeed = 11;
constexpr double kPal = 25 / 23.976;

// One story told by every track: `shape` says how this one is off the story's own timing.
std::string release(PairShape shape) {
    shape.cues = 150;
    return toSrt(makePair(shape, kSeed).other);
}

struct Fit {
    const char* fileName;
    const char* to;  // nullptr: the reference; "": no credible fit
    double scale = 1;
    double offsetMs = 0;
};

void expectFits(const json& answer, const std::vector<Fit>& fits) {
    const json& tracks = answer["tracks"];
    ASSERT_EQ(tracks.size(), fits.size()) << answer.dump().substr(0, 400);
    std::map<std::string, json> byName;
    for (const auto& t : tracks) byName[t["fileName"]] = t;
    for (const auto& fit : fits) {
        const json& t = byName[fit.fileName];
        // The reference has none (the others are fitted to it); a track without a fit, null.
        if (!fit.to || !*fit.to) {
            EXPECT_EQ(t.value("alignment", json("none")), fit.to ? json() : json("none"))
                << fit.fileName;
            continue;
        }
        const json& a = t.at("alignment");
        ASSERT_TRUE(a.is_object()) << fit.fileName << " " << a;
        EXPECT_EQ(a["to"], byName[fit.to]["subtitleId"]) << fit.fileName;
        EXPECT_NEAR(a["scale"].get<double>(), fit.scale, 5e-6) << fit.fileName;
        // In sync stays exactly as it is.
        EXPECT_NEAR(a["offsetMs"].get<double>(), fit.offsetMs, fit.offsetMs == 0 ? 0 : 150)
            << fit.fileName;
    }
}

class AlignmentHttpTest : public ServerFixture {
  protected:
    // A file the learner adds from the page; the answer's track (with its fit).
    json add(long long videoId, const std::string& fileName, const std::string& text) {
        return answer(addText(videoId, fileName, text), 201)["tracks"][0];
    }
};

TEST_F(AlignmentHttpTest, TracksAreFittedToTheEnglishTrackThenToTheVideosOwn) {
    // The video, outside the library for now, holds the story at its own timing in English.
    MediaFolder media;
    media.write("inside.srt", toSrt(makePair({.cues = 150}, kSeed).reference));
    ASSERT_TRUE(media.ffmpeg(
        "-f lavfi -i testsrc=size=64x48:rate=5:duration=4 -i inside.srt -map 0 -map 1 -c:v libx264 "
        "-preset ultrafast -c:s srt -metadata:s:s:0 language=eng Film.mkv"));
    ASSERT_EQ(::truncate(media.file("Film.mkv").c_str(), 1 << 20), 0);
    const std::string hash = hashOf(media.read("Film.mkv"));
    const std::string size = std::to_string(1 << 20);

    // The English release beside the video runs 1.5 s behind it.
    writeFile(libraryDir_ + "/Film.en.srt", release({.offsetMs = 1'500}));
    const long long id = lookupJson("Film.mkv", hash, size)["videoId"];
    // No reference yet: nothing to fit the Spanish track to.
    EXPECT_TRUE(
        add(id, "Film.es.srt", release({.scale = 1 / kPal, .offsetMs = 12'300}))["alignment"]
            .is_null());
    roundTrip("Film.mkv", hash, size);  // the file beside the video, the app's way
    // The Portuguese release is in sync with the English one (other cues missing, other
    // jitter); the French one tells another story.
    EXPECT_EQ(
        add(id, "Film.pt.srt",
            release(
                {.offsetMs = 1'500, .dropOther = 0.25, .jitterMs = 60}))["alignment"]["offsetMs"],
        0);
    add(id, "Film.fr.srt", release({.unrelated = true}));
    expectFits(tracks(id), {{"Film.en.srt", nullptr},
                            {"Film.es.srt", "Film.en.srt", 1 / kPal, 10'800},
                            {"Film.pt.srt", "Film.en.srt"},
                            {"Film.fr.srt", ""}});

    // The video comes into the library; a new service (it gave up on the first search) finds
    // it and reads the English track inside: every other track is fitted to that one now.
    std::filesystem::rename(media.file("Film.mkv"), libraryDir_ + "/Film.mkv");
    restartServer();
    ASSERT_EQ(lookupJson("Film.mkv", hash, size)["videoId"], id);
    const json fitted =
        eventually([&] { return tracks(id); },
                   [](const json& a) { return a["pending"] == false && a["tracks"].size() == 5; });
    expectFits(fitted, {{"Film.eng.srt", nullptr},
                        {"Film.en.srt", "Film.eng.srt", 1, 1'500},
                        {"Film.es.srt", "Film.eng.srt", 1 / kPal, 12'300},
                        {"Film.pt.srt", "Film.eng.srt", 1, 1'500},
                        {"Film.fr.srt", ""}});
    EXPECT_EQ(fitted["tracks"][4]["origin"], "container");
    EXPECT_EQ(fitted["tracks"][4]["format"], "srt");
    // Held now: the next lookup, under another name, lists it without reading the video again.
    const json again = lookupJson("Renamed.mkv", hash, size);
    EXPECT_EQ(again["subsToDownload"].size(), 5u);
    EXPECT_FALSE(again["subsToDownload"][4]["mustBeDownloaded"].get<bool>());
    EXPECT_EQ(tracks(id)["pending"], false);
    // Kept, not made per request: the same answer after another restart.
    restartServer();
    EXPECT_EQ(tracks(id)["tracks"], fitted["tracks"]);
}

// Tracks the service fetched itself from the online database are fitted by the write that holds
// them; a store without a fitter keeps none, and they are made when it is opened with one.
TEST(AlignmentStore, TracksAreFittedAsTheyAreHeldOrWhenAFitterComes) {
    const std::string dir = makeTempDir();
    const auto pair = makePair({.cues = 200, .offsetMs = -4'200}, 3);
    auto srt = [](const char* name, const char* language, const std::vector<sync::CueTimes>& cues) {
        const std::string text = toSrt(cues);
        return SubtitleContent{
            name, language, "srt", "UTF-8", text, text, packCues(parseSubtitle(text).cues)};
    };
    const sync::TrackRefit refit;
    std::string error;
    std::int64_t videoId = 0;
    std::vector<SubtitleEntry> entries;
    std::vector<std::int64_t> ids;
    std::vector<Track> tracks;
    auto store = SqliteStore::open(dir, error);
    ASSERT_EQ(store->recordLookup(kImplicitLearner, {"8a3f2c", 1, "Film.mkv"}, "spa", {}, videoId,
                                  entries, error),
              StoreStatus::Ok);
    ASSERT_EQ(store->addSubtitles(videoId, {srt("Film.en.srt", "eng", pair.reference)}, ids, error),
              StoreStatus::Ok);
    ASSERT_EQ(store->tracks(videoId, tracks, error), StoreStatus::Ok);
    EXPECT_FALSE(tracks.at(0).reference);
    store.reset();  // opened again with a fitter: the fits are made then
    store = SqliteStore::open(dir, error, &refit);
    ASSERT_EQ(store->tracks(videoId, tracks, error), StoreStatus::Ok);
    EXPECT_TRUE(tracks.at(0).reference);
    ASSERT_EQ(store->holdOnlineTracks(videoId, {srt("Film.spa.srt", "spa", pair.other)}, error),
              StoreStatus::Ok);
    ASSERT_EQ(store->tracks(videoId, tracks, error), StoreStatus::Ok);
    ASSERT_EQ(tracks.size(), 2u);
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
