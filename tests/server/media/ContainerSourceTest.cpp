// The container source against a real SQLite store and library: a video without text tracks
// remembered, one not in the library yet looked for again; the track names; and the database of
// the version before it, migrated with its rows.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "MediaFiles.h"
#include "sources/ContainerSource.h"
#include "store/SqliteStore.h"

namespace lirra::server {
namespace {

namespace fs = std::filesystem;

class ContainerSourceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(media.file("lib"));
        std::string error;
        store = SqliteStore::open(media.file("data"), error);
        ASSERT_TRUE(store) << error;
        ASSERT_EQ(library.addFolder(media.file("lib")), "");
    }

    // Records a lookup as the endpoint does and tells the source.
    std::int64_t lookUp(const std::string& fileName, const std::string& bytes) {
        const VideoKey key{test::hex(test::referenceHash(bytes)), bytes.size(), fileName};
        std::int64_t id = 0;
        std::vector<SubtitleEntry> entries;
        std::string error;
        EXPECT_EQ(store->recordLookup(key, "", {}, id, entries, error), StoreStatus::Ok) << error;
        source->lookedUp(id, key);
        return id;
    }

    std::vector<Track> tracksOf(std::int64_t id) {
        std::vector<Track> tracks;
        std::string error;
        EXPECT_EQ(store->tracks(id, tracks, error), StoreStatus::Ok) << error;
        return tracks;
    }

    test::MediaFolder media;
    Library library{8 * 1024 * 1024};
    std::unique_ptr<SqliteStore> store;
    std::unique_ptr<ContainerSource> source;
};

// A video found, read once, held and remembered across a restart: ContainerHttpTest.
TEST_F(ContainerSourceTest, NothingFoundIsRememberedAndMissingFilesAreRetriedLater) {
    // Picture and sound (over 64 KiB, so it has a hash) but no subtitle stream.
    ASSERT_TRUE(
        media.ffmpeg("-f lavfi -i testsrc=size=64x48:rate=5:duration=3 -f lavfi -i sine=duration=3 "
                     "-c:v libx264 -preset ultrafast -c:a pcm_s16le lib/plain.mkv"));
    const std::string plain = media.read("lib/plain.mkv");
    ContainerSourceOptions options;
    options.retryNotFound = std::chrono::milliseconds(0);
    source = std::make_unique<ContainerSource>(*store, library, options);
    const std::int64_t id = lookUp("plain.mkv", plain);
    source->waitIdle();
    EXPECT_TRUE(tracksOf(id).empty());
    VideoFile file;
    std::string error;
    ASSERT_EQ(store->videoFile(id, file, error), StoreStatus::Ok);
    EXPECT_TRUE(file.scanned);
    lookUp("plain.mkv", plain);
    EXPECT_FALSE(source->pending(id));

    // A video that is not in the library yet: looked for on each lookup, read once it is there.
    ASSERT_FALSE(media.makeThreeTrackMkv("later.mkv").empty());
    const std::string later = media.read("later.mkv");
    const std::int64_t laterId = lookUp("later.mkv", later);
    source->waitIdle();
    EXPECT_EQ(store->videoFile(laterId, file, error), StoreStatus::NotFound);
    fs::rename(media.file("later.mkv"), media.file("lib/later.mkv"));
    lookUp("later.mkv", later);
    source->waitIdle();
    EXPECT_EQ(tracksOf(laterId).size(), 3u);
}

TEST(ContainerTrackNames, LanguageAndFileName) {
    const std::pair<const char*, const char*> languages[] = {
        {"eng", "eng"}, {"en", "eng"}, {"ger", "ger"}, {"deu", "ger"},
        {"und", ""},    {"", ""},      {"x!y", ""},    {"kaz", "kaz"},
        {"Kaz", "kaz"}, {"qq1", ""},   {"mul", ""},    {"\xFF\xFE", ""}};
    for (const auto& [tag, code] : languages) EXPECT_EQ(containerTrackLanguage(tag), code) << tag;

    EXPECT_EQ(containerTrackFileName("Film.mkv", "eng", "Full", "ass"), "Film.eng.Full.ass");
    EXPECT_EQ(containerTrackFileName("Film.mkv", "", "", "srt"), "Film.srt");
    EXPECT_EQ(containerTrackFileName("Film", "spa", "../../etc/passwd", "vtt"),
              "Film.spa.passwd.vtt");
    EXPECT_EQ(containerTrackFileName("", "", "a\x01title.", "srt"), "video.a title.srt");
    EXPECT_EQ(containerTrackFileName("F.mkv", "", "\xFF", "srt"), "F.srt");
    const std::string longTitle(100, 'x');
    EXPECT_EQ(containerTrackFileName("F.mkv", "", longTitle, "srt"),
              "F." + std::string(64, 'x') + ".srt");
}

TEST(StoreMigration, TheVersionBeforeKeepsItsRowsAndTakesContainerTracks) {
    test::MediaFolder media;
    const std::string data = media.file("data");
    fs::create_directories(data);
    {
        // The first schema, as databases of the previous release have it, with a held track.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((data + "/lirra.sqlite3").c_str(), &db), SQLITE_OK);
        const char* sql = R"sql(
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
    VALUES (41, 7, 'learner', 'Old.srt', 'eng', 'srt', 'UTF-8', 'x', 'x', 1, 1);
PRAGMA user_version = 1;
)sql";
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    std::string error;
    auto store = SqliteStore::open(data, error);
    ASSERT_TRUE(store) << error;
    std::vector<Track> tracks;
    ASSERT_EQ(store->tracks(7, tracks, error), StoreStatus::Ok);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].id, 41);
    EXPECT_EQ(tracks[0].origin, "learner");
    ASSERT_EQ(store->rememberVideoFile(7, {"/lib/Old.mkv", 100000, 5, false}, error),
              StoreStatus::Ok);
    EXPECT_EQ(store->rememberVideoFile(8, {"/lib/None.mkv", 1, 5, false}, error),
              StoreStatus::Ok);  // no such video: nothing remembered
    VideoFile file;
    EXPECT_EQ(store->videoFile(8, file, error), StoreStatus::NotFound);
    SubtitleContent content{"Old.eng.srt", "eng", "srt", "UTF-8", "x", "x"};
    ASSERT_EQ(store->holdContainerTracks(7, {content}, error), StoreStatus::Ok) << error;
    ASSERT_EQ(store->tracks(7, tracks, error), StoreStatus::Ok);
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_GT(tracks[1].id, 41);
    EXPECT_EQ(tracks[1].origin, "container");
}

}  // namespace
}  // namespace lirra::server
