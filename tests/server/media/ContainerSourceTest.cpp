// SPDX-License-Identifier: GPL-3.0-or-later
// The container source against a real store and library, the names of its tracks, and a
// database of the release before, migrated with its rows.
#include <gtest/gtest.h>

#include <filesystem>

#include "MediaFiles.h"
#include "http/Http.h"
#include "sources/ContainerSource.h"
#include "store/SqliteStore.h"
#include "subtitles/CuePack.h"

namespace lirra::server {
namespace {

namespace fs = std::filesystem;

// A video found, read once, held and kept across a restart: the fit's HTTP test (sync/).
TEST(ContainerSource, NothingFoundIsRememberedAndMissingFilesAreRetriedLater) {
    test::MediaFolder media;
    fs::create_directories(media.file("lib"));
    std::string error;
    auto store = SqliteStore::open(media.file("data"), error);
    ASSERT_TRUE(store) << error;
    Library library{8 << 20};
    ASSERT_EQ(library.addFolder(media.file("lib")), "");
    ContainerSourceOptions options;
    options.retryNotFound = std::chrono::milliseconds(0);
    ContainerSource source(*store, library, options);
    // Records a lookup as the endpoint does, tells the source, and waits for it.
    const auto lookUp = [&](const std::string& fileName, const std::string& bytes) {
        const VideoKey key{test::hashOf(bytes), bytes.size(), fileName};
        std::int64_t id = 0;
        std::vector<SubtitleEntry> entries;
        EXPECT_EQ(store->recordLookup(kImplicitLearner, key, "", {}, id, entries, error),
                  StoreStatus::Ok)
            << error;
        source.lookedUp(id, key);
        source.waitIdle();
        return id;
    };
    std::vector<Track> held;
    // Picture and sound (over 64 KiB, so it has a hash) but no subtitle stream: read once.
    ASSERT_TRUE(
        media.ffmpeg("-f lavfi -i testsrc=size=64x48:rate=5:duration=3 -f lavfi -i sine=duration=3 "
                     "-c:v libx264 -preset ultrafast -c:a pcm_s16le lib/plain.mkv"));
    const std::string plain = media.read("lib/plain.mkv");
    const std::int64_t id = lookUp("plain.mkv", plain);
    EXPECT_EQ(store->tracks(id, held, error), StoreStatus::Ok);
    EXPECT_TRUE(held.empty());
    VideoFile file;
    ASSERT_EQ(store->videoFile(id, file, error), StoreStatus::Ok);
    EXPECT_TRUE(file.scanned);
    source.lookedUp(id, {test::hashOf(plain), plain.size(), "plain.mkv"});
    EXPECT_FALSE(source.pending(id));
    // Not in the library yet: looked for on each lookup, read once it is there.
    ASSERT_FALSE(media.makeThreeTrackMkv("later.mkv").empty());
    const std::string later = media.read("later.mkv");
    const std::int64_t laterId = lookUp("later.mkv", later);
    EXPECT_EQ(store->videoFile(laterId, file, error), StoreStatus::NotFound);
    fs::rename(media.file("later.mkv"), media.file("lib/later.mkv"));
    lookUp("later.mkv", later);
    EXPECT_EQ(store->tracks(laterId, held, error), StoreStatus::Ok);
    EXPECT_EQ(held.size(), 3u);
}

TEST(ContainerSource, TrackLanguagesAndFileNames) {
    const std::pair<const char*, const char*> languages[] = {
        {"eng", "eng"}, {"en", "eng"}, {"ger", "ger"}, {"deu", "ger"},
        {"und", ""},    {"", ""},      {"x!y", ""},    {"kaz", "kaz"},
        {"Kaz", "kaz"}, {"qq1", ""},   {"mul", ""},    {"\xFF\xFE", ""}};
    for (const auto& [tag, code] : languages) EXPECT_EQ(containerTrackLanguage(tag), code) << tag;
    const std::tuple<const char*, const char*, std::string, const char*, std::string> names[] = {
        {"Film.mkv", "eng", "Full", "ass", "Film.eng.Full.ass"},
        {"Film.mkv", "", "", "srt", "Film.srt"},
        {"Film", "spa", "../../etc/passwd", "vtt", "Film.spa.passwd.vtt"},
        {"", "", "a\x01title.", "srt", "video.a title.srt"},
        {"F.mkv", "", "\xFF", "srt", "F.srt"},
        {"F.mkv", "", std::string(100, 'x'), "srt", "F." + std::string(64, 'x') + ".srt"},
    };
    for (const auto& [video, language, title, extension, name] : names)
        EXPECT_EQ(containerTrackFileName(video, language, title, extension), name);
}

TEST(StoreMigration, TheVersionBeforeKeepsItsRowsAndTakesContainerTracks) {
    test::MediaFolder media;
    fs::create_directories(media.file("data"));
    // The first schema, as databases of the previous release have it, with a held track.
    media.write("v1.sql", R"sql(
CREATE TABLE videos (id INTEGER PRIMARY KEY AUTOINCREMENT, lookup_key TEXT NOT NULL UNIQUE,
    hash TEXT NOT NULL, size INTEGER NOT NULL, file_name TEXT NOT NULL,
    native_language TEXT NOT NULL DEFAULT '', created_at INTEGER NOT NULL,
    last_seen_at INTEGER NOT NULL);
CREATE INDEX videos_last_seen ON videos(last_seen_at);
CREATE TABLE library_files (id INTEGER PRIMARY KEY AUTOINCREMENT, path TEXT NOT NULL UNIQUE);
CREATE TABLE subtitles (id INTEGER PRIMARY KEY AUTOINCREMENT,
    video_id INTEGER NOT NULL REFERENCES videos(id) ON DELETE CASCADE,
    origin TEXT NOT NULL CHECK (origin IN ('library', 'client', 'learner')),
    library_file_id INTEGER REFERENCES library_files(id), file_name TEXT NOT NULL,
    language TEXT NOT NULL DEFAULT '', format TEXT NOT NULL DEFAULT '',
    encoding TEXT NOT NULL DEFAULT '', original BLOB, text TEXT, created_at INTEGER NOT NULL,
    stored_at INTEGER, UNIQUE (video_id, library_file_id),
    CHECK ((original IS NULL) = (text IS NULL)));
CREATE INDEX subtitles_video ON subtitles(video_id);
INSERT INTO videos VALUES (7, 'hash:abc:100000', 'abc', 100000, 'Old.mkv', '', 1, 1);
INSERT INTO subtitles (id, video_id, origin, file_name, language, format, encoding, original,
    text, created_at, stored_at)
    VALUES (41, 7, 'learner', 'Old.srt', 'eng', 'srt', 'UTF-8', 'x',
    '1
00:00:01,000 --> 00:00:02,500
Old <i>line', 1, 1);
PRAGMA user_version = 1;
)sql");
    const std::string load = "sqlite3 '" + media.file("data/lirra.sqlite3") + "' < v1.sql";
    ASSERT_EQ(std::system(("cd '" + media.path() + "' && " + load).c_str()), 0);
    std::string error;
    auto store = SqliteStore::open(media.file("data"), error);
    ASSERT_TRUE(store) << error;
    const auto tracks = [&] {
        std::vector<Track> tracks;
        EXPECT_EQ(store->tracks(7, tracks, error), StoreStatus::Ok);
        std::string shown;
        for (const auto& t : tracks) {
            shown += std::to_string(t.id) + " " + t.origin;
            for (const auto& c : unpackCues(t.cues).value_or(std::vector<Cue>{{-1, -1, "?"}}))
                shown +=
                    " " + std::to_string(c.startMs) + "-" + std::to_string(c.endMs) + " " + c.text;
            shown += ";";
        }
        return shown;
    };
    // Read once, as the store opens: its cues are held beside it from then on.
    EXPECT_EQ(tracks(), "41 learner 1000-2500 Old <i>line</i>;");
    ASSERT_EQ(store->rememberVideoFile(7, {"/lib/Old.mkv", 100000, 5, false}, error),
              StoreStatus::Ok);
    // No such video: nothing remembered.
    EXPECT_EQ(store->rememberVideoFile(8, {"/lib/None.mkv", 1, 5, false}, error), StoreStatus::Ok);
    VideoFile file;
    EXPECT_EQ(store->videoFile(8, file, error), StoreStatus::NotFound);
    const SubtitleContent content{"Old.eng.srt",          "eng", "srt", "UTF-8", "x", "x",
                                  packCues({{5, 6, "x"}})};
    ASSERT_EQ(store->holdContainerTracks(7, {content}, error), StoreStatus::Ok) << error;
    EXPECT_EQ(tracks(), "41 learner 1000-2500 Old <i>line</i>;42 container 5-6 x;");
    // Once read, a container gives nothing more.
    EXPECT_EQ(store->holdContainerTracks(7, {content}, error), StoreStatus::NotFound);
}

}  // namespace
}  // namespace lirra::server
