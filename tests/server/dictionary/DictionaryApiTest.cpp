// The dictionary routes of a real lirra server on loopback, reading the dictionaries Debian
// installs (dict-wn, wordnet-base, dict-freedict-eng-*) where Debian puts them, and one the
// learner put in the data folder. Skipped when the Debian dictionaries are not installed.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <map>
#include <nlohmann/json.hpp>

#include "DictdFiles.h"
#include "lirra/server/Server.h"

namespace lirra::server::dictionary::test {
namespace {

using nlohmann::json;

class DictionaryApi : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* file : {"dictd/wn.index", "dictd/freedict-eng-spa.index",
                                 "dictd/freedict-eng-deu.index", "wordnet/verb.exc"}) {
            if (access((std::string("/usr/share/") + file).c_str(), R_OK) != 0) {
                GTEST_SKIP() << "the Debian dictionaries are not installed (" << file << ")";
            }
        }
        writeDictionary(data_, "dictionaries", "eng-ukr", {{"go", "go\nйти, ходити\n"}});
        ServerOptions options;
        options.dataDirectory = data_.path();
        server_ = std::make_unique<Server>(options);
        ASSERT_EQ(server_->start(), "");
    }

    httplib::Result get(const std::string& path, const httplib::Params& params = {}) {
        return httplib::Client("127.0.0.1", server_->port()).Get(path, params, httplib::Headers{});
    }

    json lookup(const std::string& text, const std::string& native) {
        auto result = get("/api/dictionary/lookup", {{"text", text}, {"native", native}});
        EXPECT_TRUE(result && result->status == 200) << text;
        if (!result) return json::object();
        EXPECT_EQ(result->get_header_value("Content-Type"), "application/json; charset=utf-8");
        EXPECT_LE(result->body.size(), 16u * 1024u) << text;
        return json::parse(result->body);
    }

    MediaFolder data_;
    std::unique_ptr<Server> server_;
};

TEST_F(DictionaryApi, LooksUpWordsInTheDebianDictionaries) {
    const struct {
        const char *text, *native, *matched;
        int wordCount;
        const char* form;   // the first dictionary form
        const char* entry;  // the first entry: "headword partOfSpeech"
    } cases[] = {
        {"Went there", "spa", "Went", 1, "go", "go verb"},
        {"children's", "ger", "children's", 1, "child", "child noun"},
        {"running", "spa", "running", 1, "run", "run verb"},
        {"Looked up the number", "spa", "Looked up", 2, "look up", "look up verb"},
        {"raining cats and dogs!", "spa", "raining cats and dogs", 4, "rain cats and dogs",
         "rain cats and dogs verb"},
        {"Don’t go", "ger", "Don’t", 1, "do", "do verb"},
        {"o’clock,", "spa", "o’clock", 1, "o'clock", "o'clock adverb"},
        {"mother-in-law", "ger", "mother-in-law", 1, "mother-in-law", "mother-in-law noun"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.native);
        const json answer = lookup(c.text, c.native);
        EXPECT_EQ(answer["matched"], c.matched);
        EXPECT_EQ(answer["wordCount"], c.wordCount);
        ASSERT_FALSE(answer["forms"].empty() || answer["entries"].empty());
        EXPECT_EQ(answer["forms"][0], c.form);
        const auto& entry = answer["entries"][0];
        EXPECT_EQ(
            entry["headword"].get<std::string>() + " " + entry["partOfSpeech"].get<std::string>(),
            c.entry);
        EXPECT_FALSE(entry["definitions"].empty());
        EXPECT_EQ(entry["source"], "WordNet (r) 3.0 (2006)");
        EXPECT_EQ(answer["translationStatus"], "ok");
    }
    // Translations and a pronunciation from FreeDict.
    const json run = lookup("running", "ger");
    ASSERT_FALSE(run["translations"].empty());
    EXPECT_EQ(run["translations"][0]["headword"], "run");
    EXPECT_NE(run["translations"][0]["source"].get<std::string>().find("German"),
              std::string::npos);
    EXPECT_EQ(run["entries"][0]["pronunciation"].get<std::string>().front(), '/');
    // The learner's own dictionary in the data folder, for a language Debian has none of.
    EXPECT_EQ(lookup("go", "ukr")["translations"][0]["text"], "йти, ходити");
    // FreeDict's English-Spanish phrase entries that lost their words do not translate "be".
    const json be = lookup("be", "spa");
    for (const auto& translation : be["translations"])
        EXPECT_NE(translation["text"], "poder");
}

TEST_F(DictionaryApi, AnswersBadInputClearlyAndListsTheDictionariesFound) {
    const std::pair<httplib::Params, int> cases[] = {
        {{{"native", "spa"}}, 400},
        {{{"text", ""}, {"native", "spa"}}, 400},
        {{{"text", std::string(201, 'a')}}, 400},
        {{{"text", std::string(10240, 'a')}}, 414},  // refused with the request line
        {{{"text", "go"}}, 200},                     // no native language
        {{{"text", "go\xC0\xAF\xFE"}, {"native", "spa"}}, 200},
    };
    for (const auto& [params, status] : cases) {
        auto result = get("/api/dictionary/lookup", params);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, status) << result->body.substr(0, 80);
        if (status == 414) continue;
        const json body = json::parse(result->body);
        EXPECT_EQ(body.value("error", json()).is_string(), status == 400);
        EXPECT_EQ(body.contains("entries") && body.contains("translations"), status == 200);
    }

    auto result = get("/api/dictionary/sources");
    ASSERT_TRUE(result && result->status == 200);
    const json sources = json::parse(result->body);
    std::map<std::string, json> byId;
    for (const auto& item : sources["dictionaries"]) byId[item["id"]] = item;
    EXPECT_EQ(byId["wn"]["role"], "definitions");
    EXPECT_GT(byId["wn"]["headwords"].get<int>(), 140000);
    EXPECT_EQ(byId["freedict-eng-deu"]["language"], "ger");
    EXPECT_GT(byId["freedict-eng-deu"]["headwords"].get<int>(), 300000);
    EXPECT_EQ(byId["eng-ukr"]["path"], data_.file("dictionaries/eng-ukr.index"));
    EXPECT_GT(sources["morphology"]["exceptions"].get<int>(), 5000);
}

}  // namespace
}  // namespace lirra::server::dictionary::test
