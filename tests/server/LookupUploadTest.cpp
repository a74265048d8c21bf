// The app's lookup -> download -> upload flow against a real server, and what the store keeps.
#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;

std::vector<std::string> offeredNames(const json& answer) {
    std::vector<std::string> names;
    for (const auto& e : answer["subsToDownload"]) names.push_back(e["subFileName"]);
    std::sort(names.begin(), names.end());
    return names;
}

class LookupUploadTest : public ServerFixture {};

TEST_F(LookupUploadTest, OffersLibraryFilesNamedAfterTheVideoOnly) {
    for (const char* name : {"My Film.srt", "My Film.en.srt", "My Film.fr.forced.VTT",
                             "My Film 2.srt", "Other.srt", "My Film.en.srt.bak"}) {
        writeFile(libraryDir_ + "/" + name, srtFile(2));
    }
    const json answer = lookupJson("My Film.mkv");
    EXPECT_GT(answer["videoId"].get<long long>(), 0);
    EXPECT_EQ(offeredNames(answer),
              (std::vector<std::string>{"My Film.en.srt", "My Film.fr.forced.VTT", "My Film.srt"}));
    for (const auto& e : answer["subsToDownload"]) {
        EXPECT_TRUE(e["mustBeDownloaded"].get<bool>());
        const std::string url = e["downloadUrl"];
        EXPECT_EQ(url.rfind(server_->baseUrl(), 0), 0u) << url;
    }
}

TEST_F(LookupUploadTest, DownloadsAreOfferedUnderTheHostTheClientNamed) {
    writeFile(libraryDir_ + "/Named.srt", srtFile(1));
    const std::string host = "localhost:" + std::to_string(server_->port());
    auto res = client().Post("/Player/GetSubtitlesToDownload", {{"Host", host}},
                             "fileSize=1&movieHash=abc&fileName=Named.mkv",
                             "application/x-www-form-urlencoded");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    const json answer = json::parse(res->body);
    ASSERT_EQ(answer["subsToDownload"].size(), 1u);
    EXPECT_EQ(answer["subsToDownload"][0]["downloadUrl"],
              "http://" + host + "/Subtitles/Download/" +
                  std::to_string(answer["subsToDownload"][0]["subtitleId"].get<long long>()));
}

TEST_F(LookupUploadTest, RoundTripStoresFilesUnderTheirVideoAndListsThemAsHeld) {
    writeFile(libraryDir_ + "/First.en.srt", srtFile(3, "First"));
    writeFile(libraryDir_ + "/First.es.srt", srtFile(2, "Primero"));
    writeFile(libraryDir_ + "/Second.srt", srtFile(4, "Second"));

    const json first = roundTrip("First.mkv", "1111");
    const json second = roundTrip("Second.avi", "2222");
    const long long firstId = first["videoId"], secondId = second["videoId"];
    ASSERT_NE(firstId, secondId);

    const json again = lookupJson("First.mkv", "1111");
    EXPECT_EQ(again["videoId"].get<long long>(), firstId);
    ASSERT_EQ(again["subsToDownload"].size(), 2u);
    for (const auto& e : again["subsToDownload"]) EXPECT_FALSE(e["mustBeDownloaded"].get<bool>());

    const json firstTracks = tracks(firstId);
    ASSERT_EQ(firstTracks["tracks"].size(), 2u);
    std::map<std::string, json> byLanguage;
    for (const auto& t : firstTracks["tracks"]) byLanguage[t["language"]] = t;
    ASSERT_EQ(byLanguage.count("eng"), 1u);
    ASSERT_EQ(byLanguage.count("spa"), 1u);
    EXPECT_EQ(byLanguage["eng"]["cues"].size(), 3u);
    EXPECT_EQ(byLanguage["eng"]["cues"][2],
              json({{"start", 4000}, {"end", 5500}, {"text", "First 3"}}));
    EXPECT_EQ(byLanguage["eng"]["origin"], "client");
    EXPECT_EQ(tracks(secondId)["tracks"].size(), 1u);

    // A held file is served from the store even once the library copy is gone.
    ASSERT_EQ(::remove((libraryDir_ + "/Second.srt").c_str()), 0);
    const json held = lookupJson("Second.avi", "2222");
    ASSERT_EQ(held["subsToDownload"].size(), 1u);
    auto res = client().Get(pathOf(held["subsToDownload"][0]["downloadUrl"]));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, srtFile(4, "Second"));
}

TEST_F(LookupUploadTest, RestartKeepsVideosIdsAndSubtitles) {
    writeFile(libraryDir_ + "/Kept.en.srt", srtFile(2));
    const json before = roundTrip("Kept.mkv", "abcdef");
    restartServer();
    const json after = lookupJson("Kept.mkv", "abcdef");
    EXPECT_EQ(after["videoId"], before["videoId"]);
    ASSERT_EQ(after["subsToDownload"].size(), 1u);
    EXPECT_EQ(after["subsToDownload"][0]["subtitleId"], before["subsToDownload"][0]["subtitleId"]);
    EXPECT_FALSE(after["subsToDownload"][0]["mustBeDownloaded"].get<bool>());
    EXPECT_EQ(tracks(after["videoId"])["tracks"][0]["cues"].size(), 2u);
}

TEST_F(LookupUploadTest, VideoIdentityIsHashAndSizeOrTheNameWithoutAHash) {
    const long long a = lookupJson("a.mkv", "00ABC", "10")["videoId"];
    EXPECT_EQ(lookupJson("renamed.mkv", "abc", "10")["videoId"], a);  // same hash, normalised
    EXPECT_NE(lookupJson("a.mkv", "abc", "11")["videoId"], a);        // other size
    const long long zero = lookupJson("stream.mp4", "0", "0")["videoId"];
    EXPECT_NE(zero, a);
    EXPECT_EQ(lookupJson("stream.mp4", "0", "0")["videoId"], zero);
    EXPECT_NE(lookupJson("other.mp4", "0", "0")["videoId"], zero);
}

TEST_F(LookupUploadTest, EmptyUploadAndAlreadyHeldUploadSucceedWithoutChanges) {
    auto res = upload({});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);

    writeFile(libraryDir_ + "/Twice.srt", srtFile(2, "Original"));
    const json answer = roundTrip("Twice.mkv");
    const std::string id =
        std::to_string(answer["subsToDownload"][0]["subtitleId"].get<long long>());
    // A second client uploading other bytes for a held id changes nothing.
    res = upload({{id, "Twice.srt", srtFile(5, "Changed")}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(tracks(answer["videoId"])["tracks"][0]["cues"][0]["text"], "Original 1");
}

// Decoding each encoding is TextDecoder's (TextTest); here, what is kept and served.
TEST_F(LookupUploadTest, LegacyEncodingsAreStoredAsTheyCameAndShownAsUtf8) {
    const std::string cp1251 =  // "Привет, мир!" in Windows-1251
        "1\r\n00:00:01,000 --> 00:00:02,000\r\n\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0!\r\n\r\n"
        "2\r\n00:00:03,000 --> 00:00:04,000\r\n\xC4\xEE \xF1\xE2\xE8\xE4\xE0\xED\xE8\xFF\r\n";
    writeFile(libraryDir_ + "/Enc.ru.srt", cp1251);
    const json answer = roundTrip("Enc.mkv");
    ASSERT_EQ(answer["subsToDownload"].size(), 1u);
    const json track = tracks(answer["videoId"])["tracks"][0];
    EXPECT_EQ(track["cues"][0]["text"], "Привет, мир!");
    EXPECT_EQ(track["encoding"], "WINDOWS-1251");
    // The original bytes are what a later client downloads.
    auto res = client().Get(pathOf(answer["subsToDownload"][0]["downloadUrl"]));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body, cp1251);
}

// Concurrent clients through the whole flow, with every acknowledged upload held afterwards:
// server_load_kill_test (bench/server/load_kill.py), run by CTest.
TEST_F(LookupUploadTest, AddedLibraryFolderIsSearched) {
    const std::string beside = root_ + "/videos";
    ASSERT_EQ(::mkdir(beside.c_str(), 0700), 0);
    writeFile(beside + "/Holiday.en.srt", srtFile(1));
    EXPECT_TRUE(lookupJson("Holiday.mp4")["subsToDownload"].empty());
    EXPECT_EQ(server_->addLibraryFolder(beside), "");
    EXPECT_NE(server_->addLibraryFolder(root_ + "/missing"), "");
    EXPECT_EQ(offeredNames(lookupJson("Holiday.mp4")), std::vector<std::string>{"Holiday.en.srt"});
}

}  // namespace
}  // namespace lirra::server::test
