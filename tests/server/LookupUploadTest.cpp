// SPDX-License-Identifier: GPL-3.0-or-later
// The app's lookup -> download -> upload flow against a real server, and what the store keeps.
#include <filesystem>
#include <set>

#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;
using namespace std::string_literals;

std::vector<std::string> offeredNames(const json& answer) {
    std::vector<std::string> names;
    for (const auto& e : answer["subsToDownload"]) names.push_back(e["subFileName"]);
    std::sort(names.begin(), names.end());
    return names;
}

using LookupUploadTest = OnBothBackends<>;

TEST_P(LookupUploadTest, LibraryFilesNamedAfterTheVideoAreOfferedUnderTheClientsHost) {
    // Tags stay short; the stem is matched as it is written.
    for (const std::string& name :
         {"My Film.srt"s, "My Film.en.srt"s, "My Film.fr.forced.VTT"s, "My Film.ssa"s,
          "My Film 2.srt"s, "Other.srt"s, "My Film.en.srt.bak"s, "my film.srt"s, "My Film.txt"s,
          "My Film." + std::string(39, 'x') + ".srt", "My Film." + std::string(40, 'x') + ".srt"})
        writeFile(libraryDir_ + "/" + name, srtFile(2));
    writeFile(libraryDir_ + "/My Film.big.srt", srtFile(1) + std::string(8 << 20, ' '));
    // Downloads are offered at the address the client used.
    const std::string host = "localhost:" + std::to_string(server_->port());
    const json offer = answer(client().Post("/Player/GetSubtitlesToDownload", {{"Host", host}},
                                            "fileSize=1&movieHash=abc&fileName=My+Film.mkv",
                                            "application/x-www-form-urlencoded"));
    EXPECT_GT(offer["videoId"].get<long long>(), 0);
    EXPECT_EQ(offeredNames(offer), (std::vector<std::string>{
                                       "My Film.en.srt", "My Film.fr.forced.VTT", "My Film.srt",
                                       "My Film.ssa", "My Film." + std::string(39, 'x') + ".srt"}));
    for (const auto& e : offer["subsToDownload"]) {
        EXPECT_TRUE(e["mustBeDownloaded"].get<bool>());
        EXPECT_EQ(e["downloadUrl"],
                  "http://" + host + "/Subtitles/Download/" + e["subtitleId"].dump());
    }
    // A folder added later (the app adds each video's own) is searched too.
    const std::string beside = root_ + "/videos";
    std::filesystem::create_directory(beside);
    writeFile(beside + "/Holiday.en.srt", srtFile(1));
    EXPECT_TRUE(lookupJson("Holiday.mp4")["subsToDownload"].empty());
    EXPECT_EQ(server_->addLibraryFolder(beside), "");
    EXPECT_NE(server_->addLibraryFolder(root_ + "/missing"), "");
    EXPECT_EQ(offeredNames(lookupJson("Holiday.mp4")), std::vector<std::string>{"Holiday.en.srt"});
}

TEST_P(LookupUploadTest, HeldFilesAreKeptUnderTheirVideoAcrossRestarts) {
    writeFile(libraryDir_ + "/First.en.srt", srtFile(3, "First"));
    const std::string cp1251 =  // "Привет, мир!", "До свидания" in Windows-1251
        "1\r\n00:00:01,000 --> 00:00:02,000\r\n\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0!\r\n\r\n"
        "2\r\n00:00:03,000 --> 00:00:04,000\r\n\xC4\xEE \xF1\xE2\xE8\xE4\xE0\xED\xE8\xFF\r\n";
    writeFile(libraryDir_ + "/First.ru.srt", cp1251);
    writeFile(libraryDir_ + "/Second.srt", srtFile(4, "Second"));
    const long long first = roundTrip("First.mkv", "1111")["videoId"];
    const long long second = roundTrip("Second.avi", "2222")["videoId"];
    ASSERT_NE(first, second);
    // A held file is served from the store, as it came, even once the library copy is gone.
    std::filesystem::remove(libraryDir_ + "/Second.srt");
    std::filesystem::remove(libraryDir_ + "/First.ru.srt");
    restartServer();

    const json again = lookupJson("First.mkv", "1111");
    EXPECT_EQ(again["videoId"], first);
    std::set<std::string> shown;
    const json firstTracks = tracks(first);
    for (const auto& t : firstTracks["tracks"])
        shown.insert(t["language"].get<std::string>() + " " + t["origin"].get<std::string>() + " " +
                     t["encoding"].get<std::string>() + " " + t["cues"].back().dump());
    EXPECT_EQ(shown,
              (std::set<std::string>{
                  R"(eng client UTF-8 {"end":5500,"start":4000,"text":"First 3"})",
                  R"(rus client WINDOWS-1251 {"end":4000,"start":3000,"text":"До свидания"})"}));
    ASSERT_EQ(again["subsToDownload"].size(), 2u);
    for (const auto& e : again["subsToDownload"]) {
        EXPECT_FALSE(e["mustBeDownloaded"].get<bool>());
        if (e["subFileName"] == "First.ru.srt") {
            EXPECT_EQ(client().Get(pathOf(e["downloadUrl"]))->body, cp1251);
        }
    }
    const json offer = lookupJson("Second.avi", "2222");
    ASSERT_EQ(offer["subsToDownload"].size(), 1u);
    EXPECT_EQ(client().Get(pathOf(offer["subsToDownload"][0]["downloadUrl"]))->body,
              srtFile(4, "Second"));
    // Uploads for what is held already, or of nothing, change nothing.
    EXPECT_EQ(upload({})->status, 200);
    EXPECT_EQ(upload({{offer["subsToDownload"][0]["subtitleId"].dump(), "x.srt", srtFile(5, "X")}})
                  ->status,
              200);
    EXPECT_EQ(tracks(second)["tracks"][0]["cues"][0]["text"], "Second 1");
}

TEST_P(LookupUploadTest, VideoIdentityIsHashAndSizeOrTheNameWithoutAHash) {
    const long long a = lookupJson("a.mkv", "00ABC", "10")["videoId"];
    EXPECT_EQ(lookupJson("renamed.mkv", "abc", "10")["videoId"], a);  // same hash, normalised
    EXPECT_NE(lookupJson("a.mkv", "abc", "11")["videoId"], a);        // other size
    const long long zero = lookupJson("stream.mp4", "0", "0")["videoId"];
    EXPECT_NE(zero, a);
    EXPECT_EQ(lookupJson("stream.mp4", "000", "0")["videoId"], zero);
    EXPECT_NE(lookupJson("other.mp4", "0", "0")["videoId"], zero);
}

INSTANTIATE_TEST_SUITE_P(Backends, LookupUploadTest, kBothBackends, backendName);

}  // namespace
}  // namespace lirra::server::test
