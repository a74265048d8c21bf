// SPDX-License-Identifier: GPL-3.0-or-later
// The pages the app loads and the JSON API they use; what the pages do with it is checked in a
// real browser against a real server (tests/pages/browser).
#include <set>

#include "ServerFixture.h"
#include "media/MediaFiles.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;
using namespace std::string_literals;

using PagesApiTest = ServerFixture;

TEST_F(PagesApiTest, RoutesAnswerWhatThePagesAndTheAppAskFor) {
    std::vector<Ask> rows{{"POST", "/api/videos/999999/subtitles", 404,
                           R"({"fileName": "a.srt", "text": "x"})", "application/json"}};
    // "STATUS PATH" each; the app prints a sign-extended id unsigned: the page still loads.
    for (const std::string row :
         {"200 /Player/Play?videoId=18446744073709551615",
          "400 /Player/Play?videoId=18446744073709551616", "400 /Player/Play?videoId=1x",
          "400 /Player/Play", "200 /Player/Home", "200 /Account/Register", "200 /static/cues.js",
          "404 /static/nothing.js", "404 /nothing/here", "404 /api/videos/999999/tracks",
          "200 /api/videos/recent?limit=200", "400 /api/videos/recent?limit=201",
          "400 /api/videos/recent?limit=0", "400 /api/videos/recent?limit=abc"})
        rows.push_back({"GET", row.substr(4), std::stoi(row)});
    expectStatuses(rows);
    EXPECT_EQ(client().Get("/static/lirra.css")->get_header_value("Content-Type"),
              "text/css; charset=utf-8");
    EXPECT_EQ(client().Get("/static/cues.js")->get_header_value("Content-Type"),
              "application/javascript; charset=utf-8");
    EXPECT_EQ(client().Get("/")->get_header_value("Location"), "Player/Home");
    EXPECT_EQ(client().Get("/Account/PlayerRegister")->get_header_value("Location"), "Register");
}

// The pages ask for their catalogue by a browser's tag; the build made it from po/ (the Spanish
// one and the pseudo-locale's from the template).
TEST_F(PagesApiTest, CataloguesByTagThenBaseLanguageElseEnglishRevalidatedByTheirTag) {
    const std::pair<const char*, const char*> rows[] = {
        {"es", "es"}, {"es-MX", "es"}, {"ES_mx", "es"}, {"en-XA", "en-XA"},
        {"en", "en"}, {"en-GB", "en"}, {"xx", "en"},    {"zh-Hant", "zh-CN"},
    };
    std::set<std::string> tags;
    for (const auto& [asked, served] : rows) {
        const std::string path = std::string("/l10n/") + asked + ".json";
        const auto answer = client().Get(path);
        ASSERT_EQ(answer->status, 200) << asked;
        const std::string tag = *tags.insert(answer->get_header_value("ETag")).first;
        const auto statusIf = [&](const std::string& t) {
            return " " + std::to_string(client().Get(path, {{"If-None-Match", t}})->status);
        };
        // The catalogue's language, revalidated by its own tag alone.
        EXPECT_EQ(json::parse(answer->body)["lang"].get<std::string>() + " " +
                      answer->get_header_value("Cache-Control") + statusIf(tag) + statusIf("\"0\""),
                  served + " no-cache 304 200"s)
            << asked;
    }
    EXPECT_EQ(tags.size(), 4u);  // one a catalogue
    expectStatuses({{"GET", "/l10n/e.json", 404},
                    {"GET", "/l10n/es-.json", 404},
                    {"GET", "/l10n/es.js", 404}});

    const json es = json::parse(client().Get("/l10n/es.json")->body);
    EXPECT_EQ(es["dir"], "ltr");
    EXPECT_EQ(es["messages"]["Save"], "Guardar");
    EXPECT_EQ(es["messages"]["{n} new word"],
              json::array({"{n} palabra nueva", "{n} palabras nuevas"}));
    EXPECT_FALSE(es["messages"].contains("Quit")) << "the app's words stay out of the pages'";
    // Spanish: one for 1, the other form for 0, 2..., 101, 1001 (n >= 200 reads 100 + n % 100).
    ASSERT_EQ(es["plural"].size(), 200u);
    for (int n : {0, 1, 2, 11, 101, 199}) EXPECT_EQ(es["plural"][n], n == 1 ? 0 : 1) << n;
    const json pseudo = json::parse(client().Get("/l10n/en-XA.json")->body);
    const std::string save = pseudo["messages"]["Save"];
    EXPECT_TRUE(save.starts_with("[") && save.ends_with("]") && save.size() >= 4 * 1.4 + 2) << save;
    EXPECT_NE(pseudo["messages"]["Importing {file}…"].get<std::string>().find("{file}"),
              std::string::npos);
}

// Files chosen in the page (sent as FormData) are added in the browser tests (pages.test.js).
TEST_F(PagesApiTest, LearnersTracksAndRecentVideosNewestFirstWithTheirTimesInMs) {
    const auto nowMs = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    writeFile(libraryDir_ + "/Other.srt", srtFile(1));  // offered, not held: no track yet
    const long long before = nowMs();
    const long long lesson = lookupJson("Lesson.mkv", "00A1")["videoId"];
    lookupJson("Other.mkv", "b2", "20");
    const json added =
        answer(addText(lesson, "Lesson.sub", "{1}{1}25\n{25}{50}Una|{y:i}dos\n"), 201);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(lookupJson("Lesson.mkv", "a1")["subsToDownload"][0]["mustBeDownloaded"]);
    // Once the search for the video in the library is over.
    json all = eventually([&] { return tracks(lesson); },
                          [](const json& a) { return a["pending"] == false; });
    json recent = answer(client().Get("/api/videos/recent"));
    EXPECT_EQ(all["tracks"], added["tracks"]);
    for (json* video : {&all, &recent["videos"][0], &recent["videos"][1]}) {
        EXPECT_GE((*video)["lastSeen"].get<long long>(), before);
        EXPECT_LE((*video)["lastSeen"].get<long long>(), nowMs());
        video->erase("lastSeen");
    }
    EXPECT_EQ(all.dump(),
              R"({"fileName":"Lesson.mkv","fileSize":734003200,"movieHash":"a1","pending":false,)"
              R"("trackCount":1,"tracks":[{"alignment":null,"cues":[{"end":2000,"start":1000,)"
              R"("text":"Una\n<i>dos</i>"}],"encoding":"UTF-8","fileName":"Lesson.sub","format":)"
              R"("sub","language":"","origin":"learner","subtitleId":2}],"videoId":1})");
    EXPECT_EQ(recent.dump(),
              R"({"videos":[{"fileName":"Lesson.mkv","fileSize":734003200,"movieHash":"a1",)"
              R"("trackCount":1,"videoId":1},{"fileName":"Other.mkv","fileSize":20,)"
              R"("movieHash":"b2","trackCount":0,"videoId":2}]})");
    EXPECT_EQ(answer(client().Get("/api/videos/recent?limit=1"))["videos"].size(), 1u);
}

}  // namespace
}  // namespace lirra::server::test
