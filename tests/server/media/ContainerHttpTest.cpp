// The service over real HTTP with a video in its library folder: the lookup answers at once, the
// tracks API says "pending" while the container is read, then has its tracks, kept by a new service
// on the same data.
#include <unistd.h>

#include <filesystem>

#include "MediaFiles.h"
#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;

class ContainerHttpTest : public ServerFixture {};

TEST_F(ContainerHttpTest, TracksInsideTheVideoArriveWhileTheLookupHasAnswered) {
    MediaFolder media;
    ASSERT_FALSE(media.makeThreeTrackMkv("Film.mkv").empty());
    // A tail of holes after the container keeps it busy for a while (and is read too).
    const std::string path = libraryDir_ + "/Film.mkv";
    std::filesystem::rename(media.file("Film.mkv"), path);
    ASSERT_EQ(::truncate(path.c_str(), 1LL << 26), 0);
    const std::string hash = hex(referenceHashOfFile(path));
    const std::string size = std::to_string(1LL << 26);

    const json first = lookupJson("Film.mkv", hash, size);
    const long long id = first["videoId"];
    EXPECT_TRUE(first["subsToDownload"].empty());
    json answer = tracks(id);
    EXPECT_EQ(answer["pending"], true);
    EXPECT_TRUE(answer["tracks"].empty());
    answer =
        eventually([&] { return tracks(id); }, [](const json& a) { return a["pending"] == false; });
    ASSERT_EQ(answer["pending"], false);
    // The tracks' contents are checked as read (ContainerReaderTest); here, how they are held.
    ASSERT_EQ(answer["tracks"].size(), 3u);
    const json& ass = answer["tracks"][1];
    EXPECT_EQ(ass["fileName"], "Film.spa.Full.ass");
    EXPECT_EQ(ass["language"], "spa");
    EXPECT_EQ(ass["origin"], "container");
    EXPECT_EQ(ass["format"], "ass");
    EXPECT_EQ(ass["cues"][0]["text"], "<i>Hola</i>, amigo");
    EXPECT_EQ(answer["tracks"][2]["language"], "");

    // The next lookup, under another name, lists them as held, reads nothing and waits for
    // nothing; nor does a new service on the same data.
    const json second = lookupJson("Renamed.mkv", hash, size);
    ASSERT_EQ(second["subsToDownload"].size(), 3u);
    EXPECT_EQ(second["subsToDownload"][0]["mustBeDownloaded"], false);
    EXPECT_EQ(tracks(id)["pending"], false);
    restartServer();
    lookupJson("Film.mkv", hash, size);
    answer = tracks(id);
    EXPECT_EQ(answer["pending"], false);
    EXPECT_EQ(answer["tracks"].size(), 3u);
}

}  // namespace
}  // namespace lirra::server::test
