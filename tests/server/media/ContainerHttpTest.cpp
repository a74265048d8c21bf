// The service over real HTTP with videos in its library folder: the lookup answers at once, the
// tracks API says "pending" while the container is read, then has its tracks; and an ASS file
// beside a video goes the app's way (offered, downloaded, uploaded) to a track of format "ass".
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "MediaFiles.h"
#include "lirra/server/Server.h"

namespace lirra::server {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

std::string hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

class ContainerHttpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(media.file("lib"));
        ServerOptions options;
        options.dataDirectory = media.file("data");
        options.libraryFolders = {media.file("lib")};
        server = std::make_unique<Server>(options);
        ASSERT_EQ(server->start(), "");
    }

    httplib::Client client() const { return httplib::Client("127.0.0.1", server->port()); }

    json lookup(const std::string& fileName, const std::string& hash, std::uint64_t size) {
        const std::string form = "fileSize=" + std::to_string(size) + "&movieHash=" + hash +
                                 "&fileName=" + httplib::detail::encode_query_param(fileName);
        auto res = client().Post("/Player/GetSubtitlesToDownload", form,
                                 "application/x-www-form-urlencoded");
        EXPECT_TRUE(res && res->status == 200);
        return res ? json::parse(res->body) : json();
    }

    json tracks(long long videoId) {
        auto res = client().Get("/api/videos/" + std::to_string(videoId) + "/tracks");
        EXPECT_TRUE(res && res->status == 200);
        return res ? json::parse(res->body) : json();
    }

    test::MediaFolder media;
    std::unique_ptr<Server> server;
};

TEST_F(ContainerHttpTest, TracksInsideTheVideoArriveWhileTheLookupHasAnswered) {
    ASSERT_FALSE(media.makeThreeTrackMkv("lib/Film.mkv").empty());
    // A tail of holes after the container keeps it busy for a while (and is read too).
    const std::string path = media.file("lib/Film.mkv");
    ASSERT_EQ(::truncate(path.c_str(), 1LL << 26), 0);
    const std::string hash = hex(test::referenceHashOfFile(path));

    const json first = lookup("Film.mkv", hash, 1ULL << 26);
    const long long id = first["videoId"];
    EXPECT_TRUE(first["subsToDownload"].empty());
    json answer = tracks(id);
    EXPECT_EQ(answer["pending"], true);
    EXPECT_TRUE(answer["tracks"].empty());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (answer["pending"] == true && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        answer = tracks(id);
    }
    ASSERT_EQ(answer["pending"], false);
    ASSERT_EQ(answer["tracks"].size(), 3u);
    const json& ass = answer["tracks"][1];
    EXPECT_EQ(ass["fileName"], "Film.spa.Full.ass");
    EXPECT_EQ(ass["language"], "spa");
    EXPECT_EQ(ass["origin"], "container");
    EXPECT_EQ(ass["format"], "ass");
    ASSERT_EQ(ass["cues"].size(), 2u);
    EXPECT_EQ(ass["cues"][0]["text"], "<i>Hola</i>, amigo");
    EXPECT_EQ(answer["tracks"][0]["cues"][0]["text"], "Hello <i>there</i>");
    EXPECT_EQ(answer["tracks"][2]["language"], "");

    // The next lookup lists them as held, reads nothing and waits for nothing.
    const json second = lookup("Film.mkv", hash, 1ULL << 26);
    ASSERT_EQ(second["subsToDownload"].size(), 3u);
    EXPECT_EQ(second["subsToDownload"][0]["mustBeDownloaded"], false);
    answer = tracks(id);
    EXPECT_EQ(answer["pending"], false);
    EXPECT_EQ(answer["tracks"].size(), 3u);
}

TEST_F(ContainerHttpTest, AnAssFileBesideTheVideoBecomesAnAssTrack) {
    media.write("lib/Episode.mkv", "not looked into: too small to have a hash");
    media.write("lib/Episode.es.ssa",
                "\xEF\xBB\xBF[Script Info]\r\n[Events]\r\n"
                "Format: Marked, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, "
                "Text\r\nDialogue: Marked=0,0:00:01.00,0:00:02.00,Default,,0,0,0,,"
                "{\\b1}Buenos{\\b0} d\xC3\xAD"
                "as\\Namigos\r\n");
    const json found = lookup("Episode.mkv", "0", 40);
    ASSERT_EQ(found["subsToDownload"].size(), 1u);
    const json offer = found["subsToDownload"][0];
    EXPECT_EQ(offer["subFileName"], "Episode.es.ssa");
    EXPECT_EQ(offer["mustBeDownloaded"], true);
    // The app downloads the file and uploads it back, as it does with every offer.
    const std::string url = offer["downloadUrl"];
    auto file = client().Get(url.substr(url.find("/Subtitles/")));
    ASSERT_TRUE(file && file->status == 200);
    const std::string id = std::to_string(offer["subtitleId"].get<long long>());
    httplib::MultipartFormDataItems parts = {{id, file->body, "Episode.es.ssa", "text/plain"}};
    auto stored = client().Post("/Subtitles/UploadSubtitles", parts);
    ASSERT_TRUE(stored && stored->status == 200) << (stored ? stored->body : "");
    const json answer = tracks(found["videoId"]);
    ASSERT_EQ(answer["tracks"].size(), 1u);
    EXPECT_EQ(answer["tracks"][0]["format"], "ass");
    EXPECT_EQ(answer["tracks"][0]["language"], "spa");
    ASSERT_EQ(answer["tracks"][0]["cues"].size(), 1u);
    EXPECT_EQ(answer["tracks"][0]["cues"][0]["text"],
              "<b>Buenos</b> d\xC3\xAD"
              "as\namigos");
    EXPECT_EQ(answer["pending"], false);
}

}  // namespace
}  // namespace lirra::server
