// SPDX-License-Identifier: GPL-3.0-or-later
// Word statuses over real HTTP: a word counting as its dictionary form, statuses kept across a
// restart, imports that land whole or not at all, the export read back, bad input refused.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "ServerFixture.h"

namespace lirra::server::test {
namespace {

using nlohmann::json;

class WordsHttpTest : public OnBothBackends<> {
  protected:
    json statuses(const json& words) {
        return answer(client().Post("/api/words/statuses", json{{"words", words}}.dump(),
                                    "application/json"))["statuses"];
    }
    int put(const std::string& word, const json& body) {
        auto res = client().Put("/api/words/" + word, body.dump(), "application/json");
        return res ? res->status : 0;
    }
    httplib::Result import(const std::string& bytes, const std::string& status = "") {
        return client().Post("/api/words/import" + (status.empty() ? "" : "?status=" + status),
                             bytes, "text/plain");
    }
    json counts() { return answer(client().Get("/api/words/counts")); }
};

TEST_P(WordsHttpTest, WordsCountAsTheirFormAndKeepTheirStatus) {
    EXPECT_EQ(statuses({"Running", "run"}), (json{{"Running", "new"}, {"run", "new"}}));
    // Looked up: the card counts "running" as "run".
    ASSERT_EQ(put("running", {{"status", "learning"}, {"form", "run"}}), 200);
    EXPECT_EQ(
        statuses({"RUNNING", "run", "Don’t", "walk"}),
        (json{{"RUNNING", "learning"}, {"run", "learning"}, {"Don’t", "new"}, {"walk", "new"}}));
    ASSERT_EQ(put("run", {{"status", "known"}}), 200);
    ASSERT_EQ(put("don%E2%80%99t", {{"status", "known"}}), 200);  // ’ kept as '
    restartServer();
    EXPECT_EQ(statuses({"running", "don't", "walk"}),
              (json{{"running", "known"}, {"don't", "known"}, {"walk", "new"}}));
    EXPECT_EQ(counts(), (json{{"known", 2}, {"learning", 0}}));
    // Counted as itself again, and "new" forgets the form's status.
    ASSERT_EQ(put("running", {{"status", "new"}}), 200);
    ASSERT_EQ(put("run", {{"status", "new"}}), 200);
    EXPECT_EQ(statuses({"running", "run"}), (json{{"running", "new"}, {"run", "new"}}));
}

TEST_P(WordsHttpTest, BadInputIsRefusedClearly) {
    json many = json::array();  // one word more than a request may ask about
    for (int i = 0; i < 2000; ++i) many.push_back("w" + std::to_string(i));
    EXPECT_EQ(statuses(many).size(), 2000u);
    many.push_back("cat");
    std::vector<Ask> rows{{"POST", "/api/words/import?status=new", 400, "cat", "text/plain"}};
    // Not JSON, no list, markup, nothing, no letter ("'--.", "42"), too many words.
    for (const std::string& body :
         {std::string("{"), std::string(R"({"words": "a"})"),
          std::string(R"({"words": ["<b>hi</b>"]})"), std::string(R"({"words": [""]})"),
          std::string(R"({"words": ["a", "'--."]})"), json{{"words", many}}.dump()})
        rows.push_back({"POST", "/api/words/statuses", 400, body, "application/json"});
    for (const auto& [word, body] : std::vector<std::pair<std::string, std::string>>{
             {"42", R"({"status": "known"})"},
             {"cat", R"({"status": "mastered"})"},
             {"cat", R"({"status": "known", "form": "look up"})"},
             {"%3Cscript%3E", R"({"status": "known"})"}})
        rows.push_back({"PUT", "/api/words/" + word, 400, body, "application/json"});
    expectStatuses(rows);
    EXPECT_EQ(counts(), (json{{"known", 0}, {"learning", 0}}));
}

TEST_P(WordsHttpTest, ImportsLandWholeOrNotAtAll) {
    std::string utf16 = "\xFF\xFE";  // UTF-16LE: "Apple\r\nNAÏVE\r\n"
    for (char16_t c : std::u16string(u"Apple\r\nNA\u00CFVE\r\n"))
        utf16 += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    std::string many;
    for (int i = 0; i <= 500000; ++i) many += "a\n";
    const struct {
        const char* name;
        std::string body;
        int status;
        int words;  // imported so far (known)
    } cases[] = {
        {"UTF-8, blanks and spaces", "cat\n\n  Dog \r\nCAT\nit\u2019s\n", 200, 3},
        {"UTF-16 with a BOM", utf16, 200, 5},
        {"a line of two words", "zebra\nhorse\ngood morning\n", 400, 5},
        {"markup", "zebra\n<i>horse</i>\n", 400, 5},
        {"not text", std::string("zebra\0\x01\x02horse", 13), 400, 5},
        {"16 MiB and a byte", "zebra" + std::string(16 * 1024 * 1024 - 4, ' '), 413, 5},
        {"500,001 words", many, 413, 5},
    };
    for (const auto& c : cases) {
        auto res = import(c.body);
        ASSERT_TRUE(res) << c.name;
        EXPECT_EQ(res->status, c.status) << c.name << ": " << res->body.substr(0, 200);
        EXPECT_EQ(counts()["known"], c.words) << c.name;
    }
    auto exported = client().Get("/api/words/export.txt");
    ASSERT_TRUE(exported && exported->status == 200);
    EXPECT_EQ(exported->body, "apple\ncat\ndog\nit's\nna\u00efve\n");
    // The export imports again without changing anything; learning words are their own list.
    EXPECT_EQ(answer(import(exported->body))["changed"], 0);
    EXPECT_EQ(import(utf16)->body, R"({"changed":0,"encoding":"UTF-16LE","words":2})");
    ASSERT_EQ(import("Cat\nowl\n", "learning")->status, 200);
    EXPECT_EQ(statuses({"cat", "owl", "dog"}),
              (json{{"cat", "learning"}, {"owl", "learning"}, {"dog", "known"}}));
    EXPECT_EQ(client().Get("/api/words/export.txt?status=learning")->body, "cat\nowl\n");
}

INSTANTIATE_TEST_SUITE_P(Backends, WordsHttpTest, kBothBackends, backendName);

}  // namespace
}  // namespace lirra::server::test
