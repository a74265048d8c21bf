// The dictionary routes of a real lirra server on loopback, reading the dictionaries Debian
// installs (dict-wn, wordnet-base, dict-freedict-eng-*) and one the learner put in the data
// folder. Skipped when the Debian dictionaries are not installed.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>
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
        for (const char* file : {"wn.index", "freedict-eng-spa.index", "freedict-eng-deu.index",
                                 "freedict-eng-fra.index"}) {
            if (access((std::string("/usr/share/dictd/") + file).c_str(), R_OK) != 0) {
                GTEST_SKIP() << "the Debian dictionaries are not installed (" << file << ")";
            }
        }
        if (access("/usr/share/wordnet/verb.exc", R_OK) != 0) GTEST_SKIP() << "no wordnet-base";
        data_ = makeTempDir();
        ASSERT_EQ(mkdir((data_ + "/dictionaries").c_str(), 0755), 0);
        writeDictionary(data_ + "/dictionaries", "eng-ukr", {{"go", "go\nйти, ходити\n"}});
        ServerOptions options;
        options.dataDirectory = data_;
        server_ = std::make_unique<Server>(options);
        ASSERT_EQ(server_->start(), "");
    }
    void TearDown() override {
        server_.reset();
        if (!data_.empty()) removeTree(data_);
    }

    httplib::Result get(const std::string& path, const httplib::Params& params = {}) {
        httplib::Client client("127.0.0.1", server_->port());
        return client.Get(path, params, httplib::Headers{});
    }

    json lookup(const std::string& text, const std::string& native, int status = 200) {
        auto result = get("/api/dictionary/lookup", {{"text", text}, {"native", native}});
        EXPECT_TRUE(result) << text;
        if (!result) return json::object();
        EXPECT_EQ(result->status, status) << text;
        EXPECT_EQ(result->get_header_value("Content-Type"), "application/json; charset=utf-8");
        EXPECT_LE(result->body.size(), 16u * 1024u) << text;
        return json::parse(result->body);
    }

    std::string data_;
    std::unique_ptr<Server> server_;
};

TEST_F(DictionaryApi, LooksUpWordsInTheDebianDictionaries) {
    struct Case {
        const char* text;
        const char* native;
        const char* matched;
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
        ASSERT_FALSE(answer["forms"].empty());
        EXPECT_EQ(answer["forms"][0], c.form);
        ASSERT_FALSE(answer["entries"].empty());
        EXPECT_LE(answer["entries"].size(), 8u);
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
    for (const auto& translation : lookup("be", "spa")["translations"])
        EXPECT_NE(translation["text"], "poder");
}

TEST_F(DictionaryApi, AnswersBadInputClearly) {
    struct Case {
        const char* name;
        httplib::Params params;
        int status;
    } cases[] = {
        {"no text", {{"native", "spa"}}, 400},
        {"empty text", {{"text", ""}, {"native", "spa"}}, 400},
        {"201 characters", {{"text", std::string(201, 'a')}}, 400},
        {"10 KB", {{"text", std::string(10240, 'a')}}, 414},  // refused with the request line
        {"no native", {{"text", "go"}}, 200},
        {"invalid UTF-8", {{"text", "go\xC0\xAF\xFE"}, {"native", "spa"}}, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto result = get("/api/dictionary/lookup", c.params);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, c.status);
        if (c.status == 414) continue;
        const json body = json::parse(result->body);
        if (c.status == 400) {
            EXPECT_TRUE(body["error"].is_string());
        } else {
            EXPECT_TRUE(body["entries"].is_array());
            EXPECT_TRUE(body["translations"].is_array());
        }
    }
}

TEST_F(DictionaryApi, ListsTheDictionariesFound) {
    auto result = get("/api/dictionary/sources");
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200);
    const json sources = json::parse(result->body);
    std::map<std::string, json> byId;
    for (const auto& item : sources["dictionaries"]) byId[item["id"]] = item;
    EXPECT_EQ(byId["wn"]["role"], "definitions");
    EXPECT_GT(byId["wn"]["headwords"].get<int>(), 140000);
    EXPECT_EQ(byId["freedict-eng-deu"]["language"], "ger");
    EXPECT_GT(byId["freedict-eng-deu"]["headwords"].get<int>(), 300000);
    EXPECT_EQ(byId["eng-ukr"]["path"], data_ + "/dictionaries/eng-ukr.index");
    EXPECT_GT(sources["morphology"]["exceptions"].get<int>(), 5000);
}

}  // namespace
}  // namespace lirra::server::dictionary::test
