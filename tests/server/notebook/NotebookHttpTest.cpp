// SPDX-License-Identifier: GPL-3.0-or-later
// The notebook's API over real HTTP: what is saved once and what anew, the list and its search,
// deleting, the text export read back as Anki reads it, and bad input refused with a reason.
#include "NotebookFixture.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;
using NotebookHttpTest = OnBothBackends<NotebookFixture>;

// The ids listed, newest first: "3 2 1" (a fresh notebook numbers its first item 1).
std::string ids(const json& items) {
    std::string out;
    for (const auto& item : items) out += (out.empty() ? "" : " ") + item["id"].dump();
    return out;
}
// `base` with the fields of `change` over its own.
json with(json base, const json& change) { return base.update(change), base; }

TEST_P(NotebookHttpTest, SavesEachLineAndWordOnceListsAndExports) {
    const auto film = lookupJson("Film.mkv")["videoId"].get<std::int64_t>();
    const auto other = lookupJson("Other.mkv", "77")["videoId"].get<std::int64_t>();
    const json line = with(json::parse(R"({"startMs": 61000, "endMs": 62500,
        "text": "Hello\tthere, <i>friend</i>", "translation": "Hola\namigo"})"),
                           {{"videoId", film}});
    // Each entry and the row whose item it is (-1: a new one, 201; else that one found, 200).
    const std::pair<json, int> rows[] = {
        {line, -1},
        {line, 0},
        {with(line, {{"translation", "Hola allí"}}), 0},  // another translation shown
        {with(line, {{"word", "friend"}, {"definition", "a person you know well"}}), -1},
        {with(line, {{"word", "friend"}}), 3},
        {with(line, {{"videoId", other}}), -1},
        {with(line, {{"endMs", 62600}}), -1},
        {with(line, {{"text", "Hello there!"}}), -1},
    };
    std::vector<std::string> saved;
    for (const auto& [entry, sameAs] : rows) {
        saved.push_back(answer(post("/api/notebook", entry), sameAs < 0 ? 201 : 200)["id"].dump());
        EXPECT_EQ(saved.back(), saved[sameAs < 0 ? saved.size() - 1 : sameAs]) << entry;
    }
    const json items = list();
    EXPECT_EQ(ids(items), saved[7] + " " + saved[6] + " " + saved[5] + " " + saved[3] + " 1");
    EXPECT_EQ(items[4], json::parse(R"({"id": 1, "videoId": 1, "videoName": "Film.mkv",
        "startMs": 61000, "endMs": 62500, "text": "Hello there, <i>friend</i>", "word": "",
        "translation": "Hola\namigo", "definition": "", "sent": false, "videoFile": null,
        "createdAt": )" + items[4]["createdAt"].dump() +
                                    "}"));  // a tab a space, markup text

    // The export, oldest first, read back as Anki reads it.
    auto tsv = client().Get("/api/notebook/export.tsv");
    ASSERT_TRUE(tsv && tsv->status == 200);
    EXPECT_EQ(tsv->get_header_value("Content-Type"), "text/tab-separated-values; charset=utf-8");
    const std::string sentence = "\tHello there, &lt;i&gt;friend&lt;/i&gt;\tHola<br>amigo\t";
    const std::string start =
        "#separator:tab\n#html:true\n"
        "#columns:Key\tWord\tSentence\tTranslation\tDefinition\tSource\n"
        "lirra-1\t" +
        sentence + "\tFilm.mkv, 1:01\nlirra-" + saved[3] + "\tfriend" + sentence +
        "a person you know well\tFilm.mkv, 1:01\n";
    EXPECT_EQ(tsv->body.substr(0, start.size()), start);

    // Deleting once; a new item never takes a deleted one's id (Anki knows items by it).
    EXPECT_EQ(client().Delete("/api/notebook/" + saved[7])->status, 200);
    EXPECT_EQ(client().Delete("/api/notebook/" + saved[7])->status, 404);
    EXPECT_GT(save(film, 9000, 9500, "New"), std::stoll(saved[7]));
    EXPECT_EQ(list().size(), 5u);
}

TEST_P(NotebookHttpTest, SearchesLimitsAndListsWhatIsNotSent) {
    const auto film = lookupJson("Film.mkv")["videoId"].get<std::int64_t>();
    int at = 0;
    for (const char* text : {"Hello there", "50% off today", "snake_case words", "Goodbye"})
        save(film, at, at + 500, text), at += 1000;
    // "QUERY>ids": letter case does not matter, % and _ are letters, the video's name counts.
    for (const std::string c :
         {">4 3 2 1", "?limit=2>4 3", "?query=hello>1", "?query=50%25>2", "?query=e_c>3",
          "?query=%25>2", "?query=film.MKV>4 3 2 1", "?query=nowhere>"}) {
        EXPECT_EQ(ids(list(c.substr(0, c.find('>')))), c.substr(c.find('>') + 1)) << c;
    }
    EXPECT_EQ(send({1, 4})["added"], 2);
    EXPECT_EQ(ids(list("?unsent=1")), "3 2");
}

TEST_P(NotebookHttpTest, BadInputIsRefusedWithAReasonAndEachBoundHoldsExactly) {
    const auto video = lookupJson("Film.mkv")["videoId"].get<std::int64_t>();
    const json hi = {{"videoId", video}, {"startMs", 1000}, {"endMs", 2000}, {"text", "Hi"}};
    auto hiWith = [&](const json& change) { return with(hi, change).dump(); };
    const std::string t2000(2000, 't'), w100(100, 'w'), d4000(4000, 'd');
    const struct {
        std::string body;
        int status;
        const char* says;
        const char* path = "/api/notebook";
    } rows[] = {
        {"{", 400, "not JSON"},
        {hiWith({{"text", nullptr}}), 400, "text is missing"},
        {hiWith({{"text", " \n\t "}}), 400, "text is empty"},
        {hiWith({{"startMs", -5}}), 400, "within the video"},
        {hiWith({{"endMs", 500}}), 400, "within the video"},
        {hiWith({{"startMs", 1.5}}), 400, "whole number"},
        {hiWith({{"videoId", 999}}), 404, "no such video"},
        {hiWith({{"definition", "x"}}), 400, "needs its word"},
        {hiWith({{"word", "a\nb"}}), 400, "one line"},
        {std::string(70 * 1024, ' '), 413, "too large"},
        {R"({"ids": 3})", 400, "ids", "/api/notebook/anki"},
        {json{{"ids", std::vector<int>(501, 1)}}.dump(), 400, "at most 500", "/api/notebook/anki"},
        {json{{"ids", std::vector<int>(500, 4242)}}.dump(), 200, "", "/api/notebook/anki"},
        // Saved at each bound, refused one past it: ten minutes a line, 48 hours a video.
        {hiWith({{"text", t2000}}), 201, ""},
        {hiWith({{"text", t2000 + "t"}}), 400, "text is longer than 2000 bytes"},
        {hiWith({{"translation", t2000}}), 201, ""},
        {hiWith({{"translation", t2000 + "t"}}), 400, "translation is longer than 2000 bytes"},
        {hiWith({{"word", w100}}), 201, ""},
        {hiWith({{"word", w100 + "w"}}), 400, "word is longer than 100 bytes"},
        {hiWith({{"word", "w"}, {"definition", d4000}}), 201, ""},
        {hiWith({{"word", "w"}, {"definition", d4000 + "d"}}), 400, "longer than 4000 bytes"},
        {hiWith({{"endMs", 601000}}), 201, ""},
        {hiWith({{"endMs", 601001}}), 400, "longer than 10 minutes"},
        {hiWith({{"startMs", 172799000}, {"endMs", 172800000}}), 201, ""},
        {hiWith({{"startMs", 172799000}, {"endMs", 172800001}}), 400, "<= 172800000"},
    };
    for (const auto& row : rows) {
        auto res = client().Post(row.path, row.body, "application/json");
        ASSERT_TRUE(res) << row.body.substr(0, 60);
        EXPECT_EQ(res->status, row.status) << row.body.substr(0, 60) << ": " << res->body;
        const auto answer = json::parse(res->body, nullptr, false);
        EXPECT_NE(answer.value("error", "").find(row.says), std::string::npos) << res->body;
    }
    EXPECT_EQ(
        client().Post("/api/notebook", "text=Hi", "application/x-www-form-urlencoded")->status,
        415);
    EXPECT_EQ(list().size(), 6u);  // what was refused left nothing
    EXPECT_TRUE(anki_.requests().empty());
    for (const std::string c : {"?limit=0=400", "?limit=501=400", "?limit=x=400", "?limit=500=200"})
        EXPECT_EQ(client().Get("/api/notebook" + c.substr(0, c.rfind('=')))->status,
                  std::stoi(c.substr(c.rfind('=') + 1)))
            << c;
    EXPECT_EQ(client().Delete("/api/notebook/99999999999")->status, 404);
}

INSTANTIATE_TEST_SUITE_P(Backends, NotebookHttpTest, kBothBackends, backendName);

}  // namespace
}  // namespace lirra::server::test
