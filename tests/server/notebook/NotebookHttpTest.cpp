// The notebook's API over real HTTP: saving once, the list, deleting, bad input, the text export
// read back, and a card sent to a fake AnkiConnect for a video the service found in its library
// folder.
#include <filesystem>

#include "FakeAnki.h"
#include "NotebookMedia.h"
#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;

class NotebookHttpTest : public ServerFixture {
  protected:
    void configure(ServerOptions& options) override { options.ankiUrl = anki_.url(); }

    httplib::Result post(const std::string& path, const json& body) {
        return client().Post(path, body.dump(), "application/json");
    }

    json list(const std::string& query = "") {
        auto res = client().Get("/api/notebook" + query);
        EXPECT_TRUE(res && res->status == 200);
        return res ? json::parse(res->body)["items"] : json();
    }

    MediaFolder media_;
    FakeAnki anki_;
};

TEST_F(NotebookHttpTest, SavesOnceListsSearchesDeletesAndExports) {
    const auto video = lookupJson("Film.mkv")["videoId"].get<std::int64_t>();
    const json line = {{"videoId", video},
                       {"startMs", 61000},
                       {"endMs", 62500},
                       {"text", "Hello\tthere, <i>friend</i>"},
                       {"translation", "Hola\namigo"}};
    auto first = post("/api/notebook", line);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 201);
    const auto id = json::parse(first->body)["id"].get<std::int64_t>();
    auto again = post("/api/notebook", line);
    EXPECT_EQ(again->status, 200);
    EXPECT_EQ(json::parse(again->body)["id"], id);
    json word = line;
    word["word"] = "friend";
    word["definition"] = "a person you know well";
    const auto wordId = json::parse(post("/api/notebook", word)->body)["id"].get<std::int64_t>();

    const json items = list();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]["id"], wordId);                          // newest first
    EXPECT_EQ(items[1]["text"], "Hello there, <i>friend</i>");  // a tab is a space; markup is text
    EXPECT_EQ(items[1]["videoName"], "Film.mkv");
    EXPECT_EQ(items[1]["startMs"], 61000);
    EXPECT_EQ(items[1]["sent"], false);
    EXPECT_TRUE(items[1]["videoFile"].is_null());
    // The export, read back as Anki reads it.
    auto tsv = client().Get("/api/notebook/export.tsv");
    ASSERT_TRUE(tsv && tsv->status == 200);
    EXPECT_EQ(tsv->get_header_value("Content-Type"), "text/tab-separated-values; charset=utf-8");
    const std::string sentence = "\tHello there, &lt;i&gt;friend&lt;/i&gt;\tHola<br>amigo\t";
    EXPECT_EQ(tsv->body,
              "#separator:tab\n#html:true\n"
              "#columns:Key\tWord\tSentence\tTranslation\tDefinition\tSource\n"
              "lirra-" +
                  std::to_string(id) + "\t" + sentence + "\tFilm.mkv, 1:01\n" + "lirra-" +
                  std::to_string(wordId) + "\tfriend" + sentence +
                  "a person you know well\tFilm.mkv, 1:01\n");

    auto removed = client().Delete("/api/notebook/" + std::to_string(id));
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->status, 200);
    EXPECT_EQ(client().Delete("/api/notebook/" + std::to_string(id))->status, 404);
    EXPECT_EQ(list().size(), 1u);
}

TEST_F(NotebookHttpTest, BadInputIsRefusedWithAReason) {
    const auto video = lookupJson("Film.mkv")["videoId"].get<std::int64_t>();
    const json good = {{"videoId", video}, {"startMs", 1000}, {"endMs", 2000}, {"text", "Hi"}};
    auto with = [&](const char* name, json value) {
        json body = good;
        if (value.is_null()) {
            body.erase(name);
        } else {
            body[name] = value;
        }
        return body.dump();
    };
    struct Row {
        const char* what;
        std::string body;
        int status;
        const char* says;
        const char* path = "/api/notebook";
    };
    const Row rows[] = {
        {"not JSON", "{", 400, "not JSON"},
        {"no text", with("text", nullptr), 400, "text is missing"},
        {"blank text", with("text", " \n\t "), 400, "empty"},
        {"10 KB of text", with("text", std::string(10 * 1024, 'a')), 400, "longer"},
        {"a negative time", with("startMs", -5), 400, "within"},
        {"an end before the start", with("endMs", 500), 400, "within"},
        {"a fractional time", with("startMs", 1.5), 400, "whole number"},
        {"no such video", with("videoId", 999), 404, "no such video"},
        {"a definition without a word", with("definition", "x"), 400, "needs its word"},
        {"a word on two lines", with("word", "a\nb"), 400, "one line"},
        {"a huge body", std::string(70 * 1024, ' '), 413, "too large"},
        {"ids not a list", R"({"ids": 3})", 400, "ids", "/api/notebook/anki"},
        {"too many ids", json{{"ids", std::vector<int>(501, 1)}}.dump(), 400, "at most",
         "/api/notebook/anki"},
    };
    for (const auto& row : rows) {
        auto res = client().Post(row.path, row.body, "application/json");
        ASSERT_TRUE(res) << row.what;
        EXPECT_EQ(res->status, row.status) << row.what << ": " << res->body;
        const auto answer = json::parse(res->body, nullptr, false);
        ASSERT_TRUE(answer.is_object()) << row.what;
        EXPECT_NE(answer.value("error", "").find(row.says), std::string::npos)
            << row.what << ": " << res->body;
    }
    EXPECT_EQ(
        client().Post("/api/notebook", "text=Hi", "application/x-www-form-urlencoded")->status,
        415);
    EXPECT_TRUE(list().empty());
    const std::pair<const char*, int> gets[] = {{"/api/notebook?limit=0", 400},
                                                {"/api/notebook?limit=501", 400},
                                                {"/api/notebook?limit=x", 400},
                                                {"/api/notebook?limit=500", 200}};
    for (const auto& [path, status] : gets) EXPECT_EQ(client().Get(path)->status, status) << path;
    EXPECT_EQ(client().Delete("/api/notebook/99999999999")->status, 404);
    EXPECT_TRUE(anki_.requests().empty());
}

TEST_F(NotebookHttpTest, AVideoFoundInTheLibraryGivesItsFileAndACardWithMedia) {
    const auto ramp = makeRampVideo(media_, "Ramp.mkv");
    ASSERT_FALSE(ramp.path.empty());
    const std::string path = libraryDir_ + "/Ramp.mkv";
    std::filesystem::rename(ramp.path, path);
    const auto video =
        lookupJson("Ramp.mkv", ramp.hash, std::to_string(ramp.size))["videoId"].get<std::int64_t>();
    auto saved = post("/api/notebook", {{"videoId", video},
                                        {"startMs", 1000},
                                        {"endMs", 2500},
                                        {"text", "Brighter"},
                                        {"translation", "Más claro"}});
    ASSERT_TRUE(saved && saved->status == 201);
    const auto id = json::parse(saved->body)["id"];
    // The service finds the file in the background after the lookup.
    const json items = eventually([&] { return list(); },
                                  [](const json& i) { return !i[0]["videoFile"].is_null(); });
    EXPECT_EQ(items[0]["videoFile"], std::filesystem::canonical(path).string());

    auto res = post("/api/notebook/anki", {{"ids", {id}}});
    ASSERT_TRUE(res && res->status == 200);
    EXPECT_EQ(json::parse(res->body), json({{"added", 1},
                                            {"duplicates", 0},
                                            {"failed", json::array()},
                                            {"withoutMedia", json::array()}}));
    EXPECT_EQ(anki_.media.size(), 2u);
    EXPECT_EQ(list()[0]["sent"], true);
    EXPECT_EQ(json::parse(post("/api/notebook/anki", {{"ids", {id}}})->body)["duplicates"], 1);
}

}  // namespace
}  // namespace lirra::server::test
