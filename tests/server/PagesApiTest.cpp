// The pages the app loads and the JSON API they use; what the pages do with it is checked in a
// real browser against a real server (tests/pages/browser).
#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;

class PagesApiTest : public ServerFixture {};

TEST_F(PagesApiTest, RoutesAnswerWhatThePagesAndTheAppAskFor) {
    const std::pair<const char*, int> routes[] = {
        // The app prints a sign-extended id unsigned; the page still loads.
        {"/Player/Play?videoId=18446744073709551615", 200},
        {"/Player/Play?videoId=18446744073709551616", 400},
        {"/Player/Play?videoId=1x", 400},
        {"/Player/Play", 400},
        {"/Player/Home", 200},
        {"/Account/Register", 200},
        {"/static/cues.js", 200},
        {"/static/lirra.css", 200},
        {"/static/nothing.js", 404},
        {"/nothing/here", 404},
        {"/api/videos/999999/tracks", 404},
    };
    for (const auto& [path, status] : routes) {
        auto res = client().Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, status) << path;
        EXPECT_EQ(res->get_header_value("X-Content-Type-Options"), "nosniff") << path;
        if (status != 200) {
            EXPECT_NE(json::parse(res->body).value("error", ""), "") << path;
        }
    }
    EXPECT_EQ(client().Get("/static/lirra.css")->get_header_value("Content-Type"),
              "text/css; charset=utf-8");
    EXPECT_EQ(client().Get("/static/cues.js")->get_header_value("Content-Type"),
              "application/javascript; charset=utf-8");
    EXPECT_EQ(client().Get("/")->get_header_value("Location"), "Player/Home");
    EXPECT_EQ(client().Get("/Account/PlayerRegister")->get_header_value("Location"), "Register");
}

TEST_F(PagesApiTest, RecentVideosNewestFirstWithTheirTimesInMs) {
    const auto nowMs = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    const long long before = nowMs();
    const long long a = lookupJson("A.mkv", "a")["videoId"],
                    b = lookupJson("B.mkv", "b")["videoId"];
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    lookupJson("A.mkv", "a");  // seen again: first
    auto ids = [&](const std::string& query) {
        std::vector<long long> ids;
        const json recent = answer(client().Get("/api/videos/recent" + query));
        for (const auto& v : recent["videos"]) {
            ids.push_back(v["videoId"]);
        }
        return ids;
    };
    EXPECT_EQ(ids(""), (std::vector<long long>{a, b}));
    EXPECT_EQ(ids("?limit=1"), (std::vector<long long>{a}));
    const json first = answer(client().Get("/api/videos/recent?limit=200"))["videos"][0];
    EXPECT_GE(first["lastSeen"].get<long long>(), before);
    EXPECT_LE(first["lastSeen"].get<long long>(), nowMs());
    EXPECT_EQ(first["trackCount"], 0);
    for (const char* bad : {"?limit=201", "?limit=0", "?limit=abc"}) {
        EXPECT_EQ(client().Get(std::string("/api/videos/recent") + bad)->status, 400) << bad;
    }
}

// Files chosen in the page (sent as FormData) are added in the browser tests (pages.test.js).
TEST_F(PagesApiTest, LearnerAddsSubtitlesAsJsonText) {
    const long long id = lookupJson("Lesson.mkv")["videoId"];
    const json body = {{"fileName", "Lesson.sub"}, {"text", "{1}{1}25\n{25}{50}Una|{y:i}dos\n"}};
    const json added = answer(client().Post("/api/videos/" + std::to_string(id) + "/subtitles",
                                            body.dump(), "application/json"),
                              201);
    ASSERT_EQ(added["tracks"].size(), 1u);
    const json all = tracks(id);
    EXPECT_EQ(all["fileName"], "Lesson.mkv");
    EXPECT_EQ(all["tracks"], added["tracks"]);
    const json& sub = all["tracks"][0];
    EXPECT_EQ(sub["format"], "sub");
    EXPECT_EQ(sub["origin"], "learner");
    EXPECT_EQ(sub["cues"][0], (json{{"start", 1000}, {"end", 2000}, {"text", "Una\n<i>dos</i>"}}));
    EXPECT_FALSE(lookupJson("Lesson.mkv")["subsToDownload"][0]["mustBeDownloaded"].get<bool>());
    EXPECT_EQ(answer(client().Post("/api/videos/999999/subtitles", body.dump(), "application/json"),
                     404)["error"],
              "no such video");
}

}  // namespace
}  // namespace lirra::server::test
