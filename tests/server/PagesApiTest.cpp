// The pages the app loads and the JSON API they use.
#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;

class PagesApiTest : public ServerFixture {};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(PagesApiTest, HomePageCarriesWhatTheAppRelisOn) {
    auto res = client().Get("/Player/Home");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=utf-8");
    const std::string& html = res->body;
    EXPECT_TRUE(contains(
        html, R"(<span id="selectedLanguage"><span class="flag small spa"></span></span>)"));
    EXPECT_TRUE(contains(html, "Drop a video here or use File &gt; Open"));
    EXPECT_TRUE(contains(html, R"(href="../Account/PlayerRegister")"));
    EXPECT_TRUE(contains(html, R"(src="../static/jquery.min.js")"));
    res = client().Get("/static/home.js");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_TRUE(contains(res->body, "sendCommand('EnableDraggableHomeScreen')"));
    EXPECT_TRUE(contains(res->body, "$(window).on('refreshLevel'"));
    res = client().Get("/static/bridge.js");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_TRUE(contains(res->body, "'app:///Execute/' + name"));
}

TEST_F(PagesApiTest, JqueryIsServedByteForByte) {
    auto res = client().Get("/static/jquery.min.js");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, readFile("/usr/share/javascript/jquery/jquery.min.js"));
    EXPECT_EQ(res->get_header_value("Content-Type"), "application/javascript; charset=utf-8");
}

TEST_F(PagesApiTest, PlayerAndRegisterPages) {
    auto res = client().Get("/Player/Play?videoId=42");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_TRUE(contains(res->body, R"(<div id="next-sub")"));
    EXPECT_TRUE(contains(res->body, R"(<body class="player">)"));
    EXPECT_TRUE(contains(client().Get("/static/lirra.css")->body,
                         "body.player { background: transparent;"));
    EXPECT_TRUE(contains(client().Get("/static/play.js")->body, "$(window).on('timeUpdate'"));
    // The app prints a sign-extended id unsigned; the page still loads.
    EXPECT_EQ(client().Get("/Player/Play?videoId=18446744073709551615")->status, 200);
    for (const char* bad : {"/Player/Play", "/Player/Play?videoId=", "/Player/Play?videoId=1x",
                            "/Player/Play?videoId=18446744073709551616"}) {
        EXPECT_EQ(client().Get(bad)->status, 400) << bad;
    }
    res = client().Get("/Account/Register");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_TRUE(contains(res->body, "There is no\naccount to create"));
    res = client().Get("/Account/PlayerRegister");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 302);
    EXPECT_EQ(res->get_header_value("Location"), "Register");
}

TEST_F(PagesApiTest, RecentVideosNewestFirst) {
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
    EXPECT_EQ(client().Get("/api/videos/recent?limit=0")->status, 400);
    EXPECT_EQ(client().Get("/api/videos/recent?limit=abc")->status, 400);
}

TEST_F(PagesApiTest, LearnerAddsSubtitlesFromThePage) {
    const long long id = lookupJson("Lesson.mkv")["videoId"];
    const std::string path = "/api/videos/" + std::to_string(id) + "/subtitles";
    // As a browser's FormData sends it.
    httplib::MultipartFormDataItems items = {
        {"file",
         "WEBVTT\n\n00:01.000 --> 00:02.000 align:start\nHi &amp; <b>bye</b><script>x</script>\n",
         "Lesson.en.vtt", "text/vtt"}};
    auto res = client().Post(path.c_str(), items);
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 201) << res->body;
    // Or as JSON text.
    const json body = {{"fileName", "Lesson.sub"}, {"text", "{1}{1}25\n{25}{50}Una|{y:i}dos\n"}};
    res = client().Post(path, body.dump(), "application/json");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 201) << res->body;

    const json all = tracks(id);
    EXPECT_EQ(all["fileName"], "Lesson.mkv");
    ASSERT_EQ(all["tracks"].size(), 2u);
    const json& vtt = all["tracks"][0];
    EXPECT_EQ(vtt["language"], "eng");
    EXPECT_EQ(vtt["format"], "vtt");
    EXPECT_EQ(vtt["origin"], "learner");
    EXPECT_EQ(vtt["cues"][0],
              (json{{"start", 1000}, {"end", 2000}, {"text", "Hi &amp; <b>bye</b>x"}}));
    const json& sub = all["tracks"][1];
    EXPECT_EQ(sub["format"], "sub");
    EXPECT_EQ(sub["cues"][0], (json{{"start", 1000}, {"end", 2000}, {"text", "Una\n<i>dos</i>"}}));
    // Held for the video: the next lookup lists them as already held.
    const json answer = lookupJson("Lesson.mkv");
    ASSERT_EQ(answer["subsToDownload"].size(), 2u);
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
