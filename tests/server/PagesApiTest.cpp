// The pages the app loads and the JSON API they use.
#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;

class PagesApiTest : public ServerFixture {};

// What the pages show and send is checked in a real browser against a real server
// (tests/pages/browser); here, what the app's ids and links may look like.
TEST_F(PagesApiTest, PlayerPageTakesAnyUnsigned64BitId) {
    // The app prints a sign-extended id unsigned; the page still loads.
    EXPECT_EQ(client().Get("/Player/Play?videoId=18446744073709551615")->status, 200);
    for (const char* bad : {"/Player/Play", "/Player/Play?videoId=", "/Player/Play?videoId=1x",
                            "/Player/Play?videoId=18446744073709551616"}) {
        EXPECT_EQ(client().Get(bad)->status, 400) << bad;
    }
}

TEST_F(PagesApiTest, RecentVideosNewestFirst) {
    const auto nowMs = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    const long long before = nowMs();
    const long long a = lookupJson("A.mkv", "a")["videoId"];
    const long long b = lookupJson("B.mkv", "b")["videoId"];
    auto recent = [&](const std::string& query) {
        auto res = client().Get("/api/videos/recent" + query);
        EXPECT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        std::vector<long long> ids;
        const json answer = json::parse(res->body);
        for (const auto& v : answer["videos"]) ids.push_back(v["videoId"]);
        return ids;
    };
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    lookupJson("A.mkv", "a");  // seen again: first
    EXPECT_EQ(recent(""), (std::vector<long long>{a, b}));
    EXPECT_EQ(recent("?limit=1"), (std::vector<long long>{a}));
    auto res = client().Get("/api/videos/recent?limit=200");  // what the home page asks for
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    const json first = json::parse(res->body)["videos"][0];
    EXPECT_GE(first["lastSeen"].get<long long>(), before);
    EXPECT_LE(first["lastSeen"].get<long long>(), nowMs());
    EXPECT_EQ(first["trackCount"], 0);
    EXPECT_EQ(res->get_header_value("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(client().Get("/api/videos/recent?limit=201")->status, 400);
    EXPECT_EQ(client().Get("/api/videos/recent?limit=0")->status, 400);
    EXPECT_EQ(client().Get("/api/videos/recent?limit=abc")->status, 400);
}

// A file chosen in the page (sent as FormData) is added in the browser tests (pages.test.js).
TEST_F(PagesApiTest, LearnerAddsSubtitlesAsJsonText) {
    const long long id = lookupJson("Lesson.mkv")["videoId"];
    const std::string path = "/api/videos/" + std::to_string(id) + "/subtitles";
    const json body = {{"fileName", "Lesson.sub"}, {"text", "{1}{1}25\n{25}{50}Una|{y:i}dos\n"}};
    auto res = client().Post(path, body.dump(), "application/json");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 201) << res->body;

    const json all = tracks(id);
    EXPECT_EQ(all["fileName"], "Lesson.mkv");
    ASSERT_EQ(all["tracks"].size(), 1u);
    const json& sub = all["tracks"][0];
    EXPECT_EQ(sub["format"], "sub");
    EXPECT_EQ(sub["origin"], "learner");
    EXPECT_EQ(sub["cues"][0], (json{{"start", 1000}, {"end", 2000}, {"text", "Una\n<i>dos</i>"}}));
    // Held for the video: the next lookup lists it as already held.
    const json answer = lookupJson("Lesson.mkv");
    ASSERT_EQ(answer["subsToDownload"].size(), 1u);
    EXPECT_FALSE(answer["subsToDownload"][0]["mustBeDownloaded"].get<bool>());

    EXPECT_EQ(
        client().Post("/api/videos/999999/subtitles", body.dump(), "application/json")->status,
        404);
    EXPECT_EQ(client().Get("/api/videos/999999/tracks")->status, 404);
    EXPECT_EQ(client().Post(path, "x", "text/plain")->status, 415);
}

TEST_F(PagesApiTest, UnknownRoutesAnswerJson404) {
    auto res = client().Get("/nothing/here");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
    EXPECT_EQ(json::parse(res->body, nullptr, false).value("error", ""), "no such resource");
    EXPECT_EQ(client().Get("/")->status, 302);
}

}  // namespace
}  // namespace lirra::server::test
