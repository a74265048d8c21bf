// The notebook's API over real HTTP: what is saved once and what anew, the list and its search,
// deleting, the text export read back as Anki reads it, and bad input refused with a reason.
#include "NotebookFixture.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;
using NotebookHttpTest = NotebookFixture;

std::vector<std::int64_t> ids(const json& items) {
    std::vector<std::int64_t> out;
    for (const auto& item : items) out.push_back(item["id"]);
    return out;
}

TEST_F(NotebookHttpTest, SavesEachLineAndWordOnceListsAndExports) {
    const auto film = lookupJson("Film.mkv")["videoId"].get<std::int64_t>();
    const auto other = lookupJson("Other.mkv", "77")["videoId"].get<std::int64_t>();
    const json line = {{"videoId", film},
                       {"startMs", 61000},
                       {"endMs", 62500},
                       {"text", "Hello\tthere, <i>friend</i>"},
                       {"translation", "Hola\namigo"}};
    auto with = [&](const json& change) {
        json entry = line;
        entry.update(change);
        return entry;
    };
    const struct {
        const char* what;
        json entry;
        int sameAs;  // the row whose item this is, -1 for a new one
    } rows[] = {
        {"a line", line, -1},
        {"the same line again", line, 0},
        {"with another translation shown", with({{"translation", "Hola allí"}}), 0},
        {"a word of it", with({{"word", "friend"}, {"definition", "a person you know well"}}), -1},
        {"the word again", with({{"word", "friend"}}), 3},
        {"the same text in another video", with({{"videoId", other}}), -1},
        {"at other times", with({{"endMs", 62600}}), -1},
        {"other text", with({{"text", "Hello there!"}}), -1},
    };
    std::vector<std::int64_t> saved;
    for (const auto& row : rows) {
        const auto res = post("/api/notebook", row.entry);
        ASSERT_TRUE(res) << row.what;
        EXPECT_EQ(res->status, row.sameAs < 0 ? 201 : 200) << row.what;
        saved.push_back(json::parse(res->body)["id"]);
        if (row.sameAs >= 0) {
            EXPECT_EQ(saved.back(), saved[row.sameAs]) << row.what;
        }
    }
    const json items = list();
    EXPECT_EQ(ids(items), (std::vector<std::int64_t>{saved[7], saved[6], saved[5], saved[3],
                                                     saved[0]}));  // newest first
    const json& first = items[4];
    EXPECT_EQ(first["text"], "Hello there, <i>friend</i>");  // a tab is a space; markup is text
    EXPECT_EQ(first["translation"], "Hola\namigo");          // the first save is kept
    EXPECT_EQ(first["videoName"], "Film.mkv");
    EXPECT_EQ(first["startMs"], 61000);
    EXPECT_EQ(first["sent"], false);
    EXPECT_TRUE(first["videoFile"].is_null());

    // The export, oldest first, read back as Anki reads it.
    auto tsv = client().Get("/api/notebook/export.tsv");
    ASSERT_TRUE(tsv && tsv->status == 200);
    EXPECT_EQ(tsv->get_header_value("Content-Type"), "text/tab-separated-values; charset=utf-8");
    const std::string sentence = "\tHello there, &lt;i&gt;friend&lt;/i&gt;\tHola<br>amigo\t";
    const std::string start =
        "#separator:tab\n#html:true\n"
        "#columns:Key\tWord\tSentence\tTranslation\tDefinition\tSource\n"
        "lirra-" +
        std::to_string(saved[0]) + "\t" + sentence + "\tFilm.mkv, 1:01\nlirra-" +
        std::to_string(saved[3]) + "\tfriend" + sentence +
        "a person you know well\tFilm.mkv, 1:01\n";
    EXPECT_EQ(tsv->body.substr(0, start.size()), start);

    // Deleting once; a new item never takes a deleted one's id (Anki knows items by it).
    EXPECT_EQ(client().Delete("/api/notebook/" + std::to_string(saved[7]))->status, 200);
    EXPECT_EQ(client().Delete("/api/notebook/" + std::to_string(saved[7]))->status, 404);
    EXPECT_EQ(list().size(), 4u);
    EXPECT_GT(save(film, 9000, 9500, "New"), saved[7]);
}

TEST_F(NotebookHttpTest, SearchesLimitsAndListsWhatIsNotSent) {
    const auto film = lookupJson("Film.mkv")["videoId"].get<std::int64_t>();
    std::vector<std::int64_t> saved;
    for (const char* text : {"Hello there", "50% off today", "snake_case words", "Goodbye"}) {
        const int at = static_cast<int>(saved.size()) * 1000;
        saved.push_back(save(film, at, at + 500, text));
    }
    const std::vector<std::int64_t> all = {saved[3], saved[2], saved[1], saved[0]};
    const std::pair<const char*, std::vector<std::int64_t>> queries[] = {
        {"", all},
        {"?limit=2", {saved[3], saved[2]}},
        {"?query=hello", {saved[0]}},  // letter case does not matter
        {"?query=50%25", {saved[1]}},  // % and _ are letters here, not wildcards
        {"?query=e_c", {saved[2]}},
        {"?query=%25", {saved[1]}},
        {"?query=film.MKV", all},  // the video's name
        {"?query=nowhere", {}},
    };
    for (const auto& [query, expected] : queries) EXPECT_EQ(ids(list(query)), expected) << query;
    EXPECT_EQ(send({saved[0], saved[3]})["added"], 2);
    EXPECT_EQ(ids(list("?unsent=1")), (std::vector<std::int64_t>{saved[2], saved[1]}));
}

TEST_F(NotebookHttpTest, BadInputIsRefusedWithAReason) {
    const auto video = lookupJson("Film.mkv")["videoId"].get<std::int64_t>();
    const json good = {{"videoId", video}, {"startMs", 1000}, {"endMs", 2000}, {"text", "Hi"}};
    auto with = [&](const char* name, json value) {
        json body = good;
        value.is_null() ? void(body.erase(name)) : void(body[name] = value);
        return body.dump();
    };
    const struct {
        const char* what;
        std::string body;
        int status;
        const char* says;
        const char* path = "/api/notebook";
    } rows[] = {
        {"not JSON", "{", 400, "not JSON"},
        {"no text", with("text", nullptr), 400, "text is missing"},
        {"blank text", with("text", " \n\t "), 400, "empty"},
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
        EXPECT_NE(answer.value("error", "").find(row.says), std::string::npos)
            << row.what << ": " << res->body;
    }
    EXPECT_EQ(
        client().Post("/api/notebook", "text=Hi", "application/x-www-form-urlencoded")->status,
        415);
    EXPECT_TRUE(list().empty());
    EXPECT_TRUE(anki_.requests().empty());
    for (const auto& [path, status] : std::vector<std::pair<std::string, int>>{
             {"?limit=0", 400}, {"?limit=501", 400}, {"?limit=x", 400}, {"?limit=500", 200}}) {
        EXPECT_EQ(client().Get("/api/notebook" + path)->status, status) << path;
    }
    EXPECT_EQ(client().Delete("/api/notebook/99999999999")->status, 404);

    // Each bound holds exactly: saved at it, refused one past it.
    const std::pair<json, json> bounds[] = {
        {{{"text", std::string(2000, 't')}}, {{"text", std::string(2001, 't')}}},
        {{{"translation", std::string(2000, 't')}}, {{"translation", std::string(2001, 't')}}},
        {{{"word", std::string(100, 'w')}}, {{"word", std::string(101, 'w')}}},
        {{{"word", "w"}, {"definition", std::string(4000, 'd')}},
         {{"word", "w"}, {"definition", std::string(4001, 'd')}}},
        {{{"endMs", 1000 + 600000}}, {{"endMs", 1000 + 600001}}},  // ten minutes a line
        {{{"startMs", 172799000}, {"endMs", 172800000}},           // 48 hours a video
         {{"startMs", 172799000}, {"endMs", 172800001}}},
    };
    for (const auto& [fits, over] : bounds) {
        json body = good;
        body.update(fits);
        EXPECT_EQ(post("/api/notebook", body)->status, 201) << fits.dump().substr(0, 50);
        body = good;
        body.update(over);
        EXPECT_EQ(post("/api/notebook", body)->status, 400) << over.dump().substr(0, 50);
    }
}

}  // namespace
}  // namespace lirra::server::test
